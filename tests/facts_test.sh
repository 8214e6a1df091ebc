#!/bin/sh
# The facts the prose repeats are held to the code's: the README's scene list
# names the scenes the frame tool lists, in the same order, and the version that
# CMakeLists.txt gives is the one debian/changelog and the README's file names say.
set -eu
build=$1 source=$2 version=$3
status=0

"$build/cubic-harmony-frame" --list-scenes > /tmp/facts-code.$$
sed -n 's/^- !\[\]([^)]*) \*\*\([^*]*\)\.\*\*.*/\1/p' "$source/README.md" > /tmp/facts-readme.$$
trap 'rm -f /tmp/facts-code.$$ /tmp/facts-readme.$$' EXIT
if ! cmp -s /tmp/facts-code.$$ /tmp/facts-readme.$$; then
    echo "the README's scene list and the scene table differ (README, then the code):"
    diff /tmp/facts-readme.$$ /tmp/facts-code.$$ || true
    status=1
fi
[ "$(wc -l < /tmp/facts-code.$$)" -eq 9 ] || { echo "the frame tool lists $(wc -l < /tmp/facts-code.$$) scenes, not nine"; status=1; }

changelog=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
[ "$changelog" = "$version" ] || { echo "debian/changelog says $changelog, CMakeLists.txt $version"; status=1; }
for named in $(grep -o 'cubic-harmony[-_][0-9][0-9.]*[0-9]' "$source/README.md" | sort -u); do
    [ "${named#cubic-harmony?}" = "$version" ] || { echo "the README names $named, but the version is $version"; status=1; }
done
[ "$status" -eq 0 ] && echo "nine scenes named alike in the code and the README; version $version everywhere"
exit "$status"
