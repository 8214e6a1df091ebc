#!/bin/sh
# The facts the prose repeats are held to the code's: the README's scene list
# names the scenes the frame tool lists, in the same order; the scene range and
# the size limits that the README, the manuals and the .nfo give are the code's;
# and the version that CMakeLists.txt gives is the one debian/changelog and the
# README's file names say.
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

# The ranges as the code has them: the scenes one can start at, the sides an
# output may have. Each place below gives one of them so many times, word for
# word, so a range changed in the code or in one place of the prose is found.
scenes="0 to $(($(wc -l < /tmp/facts-code.$$) - 1))"
sides=$("$build/cubic-harmony-frame" --size-limits | sed 's/ / to /')
while read -r file range times; do
    case $range in scenes) phrase=$scenes ;; *) phrase=$sides ;; esac
    found=$(grep -owF "$phrase" "$source/$file" | wc -l)
    [ "$found" -eq "$times" ] ||
        { echo "$file gives the $range as \"$phrase\" $found times, not $times: its $range is not the code's"; status=1; }
done <<PLACES
README.md                                   scenes 2
tools/install/cubic-harmony.6.in            scenes 1
tools/install/cubic-harmony-frame.1.in      scenes 1
tools/install/cubic-harmony-frame.1.in      sides  1
tools/install/cubic-harmony.nfo             scenes 1
PLACES

changelog=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
[ "$changelog" = "$version" ] || { echo "debian/changelog says $changelog, CMakeLists.txt $version"; status=1; }
for named in $(grep -o 'cubic-harmony[-_][0-9][0-9.]*[0-9]' "$source/README.md" | sort -u); do
    [ "${named#cubic-harmony?}" = "$version" ] || { echo "the README names $named, but the version is $version"; status=1; }
done
[ "$status" -eq 0 ] &&
    echo "nine scenes named alike in the code and the README; scenes $scenes and sides $sides where the prose gives them; version $version everywhere"
exit "$status"
