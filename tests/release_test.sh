#!/bin/sh
# scripts/release in its short form (a short video of a fast module in place of
# the whole demo's), as a change meets it in CI: every file named with the
# version, SHA256SUMS checking, the video's chapters named as the scene table
# names them and starting where its rows end, each archive holding what it
# should; then the package, judged and run by package_test.sh.
set -eu
build=$1 source=$2 version=$3
work=$(mktemp -d /tmp/cubic-harmony-release-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Forty orders of a quarter second: about a second a scene, ten seconds in all.
ends=$("$build/tests/fast-module" "$work/short.it" 40 5 50)
started=$(date +%s)
"$source/scripts/release" --short "$work/short.it" --out "$work/dist"
echo "the short release took $(($(date +%s) - started)) s"
dist=$work/dist name=cubic-harmony-$version

# --- the files, their names and their sums -------------------------------------------
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
expected="SHA256SUMS $name-cover.png $name-short.mp4 $name-linux-x86_64.tar.gz $name-web.tar.gz $name-windows-x86_64.zip $name.html $name.tar.gz $name.zip cubic-harmony_${version}_amd64.deb"
found=$(cd "$dist" && ls | sort | tr '\n' ' ' | sed 's/ $//')
[ "$found" = "$(echo "$expected" | tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//')" ] ||
    fail "dist holds: $found; expected: $expected"
[ "$(cd "$dist" && ls | grep -v '^SHA256SUMS$' | sort)" = "$(cut -c67- "$dist/SHA256SUMS" | sort)" ] ||
    fail "SHA256SUMS does not list every file"

# --- the chapters: the scene table's names, each starting where the row before ends ----
"$build/cubic-harmony-frame" --list-scenes > "$work/names"
ffprobe -v error -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 "$dist/$name-short.mp4" \
    > "$work/chapters"
cut -d, -f2- "$work/chapters" | cmp -s - "$work/names" || fail "the chapters are not named as the scenes: $(cat "$work/chapters")"
# Each chapter starts within two frames (1/15 s) of its row's start in the module.
starts=$(cut -d, -f1 "$work/chapters" | tr '\n' ' ')
echo "chapters start at $starts s; the rows before them end at 0 $ends ms"
set -- 0 $ends
for start in $starts; do
    awk -v s="$start" -v e="$1" 'BEGIN { d = s * 1000 - e; exit !(d > -67 && d < 67) }' ||
        fail "a chapter starts at $start s, its scene at $1 ms"
    shift
done

# --- each archive's listing ----------------------------------------------------------
listed() { tar -tzf "$dist/$1" | grep -qx "$2" || fail "$1 lacks $2"; }
for f in CMakeLists.txt README.md debian/control scripts/release shell/sequencer.cpp; do listed "$name.tar.gz" "$name/$f"; done
for f in index.html cubic-harmony.js cubic-harmony.wasm fontpre.tga zap_wave.it player.js music.worklet.js music-engine.js \
         libopenmpt.wasm copyright; do
    listed "$name-web.tar.gz" "$name-web/$f"
done
for f in cubic-harmony fontpre.tga zap_wave.it README.txt LICENSES.txt start.sh; do
    listed "$name-linux-x86_64.tar.gz" "$name-linux-x86_64/$f"
done
windowsZip=$(unzip -Z1 "$dist/$name-windows-x86_64.zip")
for f in cubic-harmony.exe fontpre.tga zap_wave.it README.txt; do
    echo "$windowsZip" | grep -qx "$name-windows-x86_64/$f" || fail "$name-windows-x86_64.zip lacks $f"
done
for archive in "$name.tar.gz:$name/" "$name-web.tar.gz:$name-web/" "$name-linux-x86_64.tar.gz:$name-linux-x86_64/"; do
    stray=$(tar -tzf "$dist/${archive%%:*}" | grep -v "^${archive#*:}" || true)
    [ -z "$stray" ] || fail "${archive%%:*} holds files outside ${archive#*:}: $stray"
done
tar -tzf "$dist/$name.tar.gz" | grep -E '/(build|dist|obj-[^/]*)/' && fail "the source tarball holds build output"
grep -q '<html' "$dist/$name.html" || fail "$name.html is not the page"
zipped=$(unzip -Z1 "$dist/$name.zip" | tr '\n' ' ')
[ "$zipped" = "$name/cubic-harmony-$version-linux-x86_64.tar.gz $name/cubic-harmony-$version-windows-x86_64.zip $name/cubic-harmony.html $name/cubic-harmony.nfo " ] || fail "$name.zip holds: $zipped"
unzip -p "$dist/$name.zip" "$name/cubic-harmony.html" | cmp -s - "$dist/$name.html" || fail "the zip's page is not $name.html"
unzip -p "$dist/$name.zip" "$name/cubic-harmony.nfo" | grep -q "a real-time demo, $version\$" || fail "the nfo does not name $version"
unzip -p "$dist/$name.zip" "$name/cubic-harmony.nfo" | grep -q '@' && fail "the nfo holds a placeholder not filled in"

[ "$failed" -eq 0 ] || exit 1
sh "$source/tests/package_test.sh" "$build" "$dist/cubic-harmony_${version}_amd64.deb"
