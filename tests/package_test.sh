#!/bin/sh
# Judges the Debian package that the release built (dpkg-buildpackage, through
# tests/release_test.sh): lintian, and the desktop entry's and the AppStream
# metadata's own validators theirs; unpacks it into a temporary root and runs
# the installed tools from there, from a folder of the user's own: the
# packaged frame tool must draw what the build tree's draws.
set -eu
build=$1 deb=$2
root=$(mktemp -d /tmp/cubic-harmony-package-XXXXXX)
trap 'rm -rf "$root"' EXIT
lintian --fail-on error,warning "$deb" || { echo "lintian finds errors or warnings"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libopenmpt || { echo "libopenmpt missing from Depends"; exit 1; }
dpkg-deb -x "$deb" "$root/fs"
for f in usr/bin/cubic-harmony usr/share/cubic-harmony/fontpre.tga usr/share/cubic-harmony/zap_wave.it \
         usr/share/man/man6/cubic-harmony.6.gz usr/share/icons/hicolor/256x256/apps/cubic-harmony.png; do
    [ -e "$root/fs/$f" ] || { echo "the package lacks /$f"; exit 1; }
done
desktop-file-validate "$root"/fs/usr/share/applications/cubic-harmony.desktop
appstreamcli validate --pedantic --no-net "$root"/fs/usr/share/metainfo/*.metainfo.xml

mkdir "$root/work"
cd "$root/work"
"$root/fs/usr/bin/cubic-harmony-frame" --scene 1 --time 5000 --out frame.png
"$build/cubic-harmony-frame" --data "$build" --scene 1 --time 5000 --out built.png
cmp frame.png built.png || { echo "the packaged frame tool draws another picture than the build's"; exit 1; }
"$root/fs/usr/bin/cubic-harmony-capture" --out short.mkv --fps 5 --until 1 2> capture.log
[ -s short.mkv ] || { echo "the installed capture wrote nothing"; exit 1; }
"$root/fs/usr/bin/cubic-harmony-flashes" short.mkv > flashes.txt ||
    { echo "the installed flash counter fails on the capture's first second"; exit 1; }
echo "installed package ran: frame.png $(stat -c %s frame.png) bytes, short.mkv $(stat -c %s short.mkv) bytes"
