#!/bin/sh
# Builds the Debian package, unpacks it into a temporary root and runs the
# installed tools from there, from a folder of the user's own.
set -eu
build=$1
root=$(mktemp -d /tmp/cubic-harmony-package-XXXXXX)
trap 'rm -rf "$root"' EXIT

cd "$build"
cpack -B "$root/pkg" > "$root/cpack.log" || { cat "$root/cpack.log"; exit 1; }
deb=$(ls "$root"/pkg/cubic-harmony_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libopenmpt || { echo "libopenmpt missing from Depends"; exit 1; }
dpkg-deb -x "$deb" "$root/fs"
for f in usr/bin/cubic-harmony usr/share/cubic-harmony/fontpre.tga usr/share/cubic-harmony/zap_wave.it \
         usr/share/applications/cubic-harmony.desktop usr/share/man/man6/cubic-harmony.6; do
    [ -e "$root/fs/$f" ] || { echo "the package lacks /$f"; exit 1; }
done

mkdir "$root/work"
cd "$root/work"
"$root/fs/usr/bin/cubic-harmony-frame" --scene 0 --time 5000 --out frame.png
"$root/fs/usr/bin/cubic-harmony-capture" --out short.mkv --fps 5 --until 1 2> capture.log
[ -s frame.png ] && [ -s short.mkv ] || { echo "the installed tools wrote nothing"; exit 1; }
echo "installed package ran: frame.png $(stat -c %s frame.png) bytes, short.mkv $(stat -c %s short.mkv) bytes"
