#!/bin/sh
# The browser edition in headless Chromium: frame mode against the native frame
# tool, the page playing a fast module through every scene to its end screen,
# and the sentence a missing or broken asset shows.
# Usage: web_test.sh BUILD_DIR SOURCE_DIR   (needs an X display: WebGL runs on Mesa's GL)
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
site=$source/build-web
if [ ! -f "$site/cubic-harmony.wasm" ]; then
    echo "FAIL: $site is missing: scripts/web builds it"
    exit 1
fi
work=$(mktemp -d /tmp/cubic-harmony-web-XXXXXX)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
page() { node "$source/tests/web_page.mjs" "$@"; }

# --- the folders served: the page as built, and copies with one file changed ---
mkdir -p "$work/www" "$work/shots"
for f in "$site"/*; do ln -s "$f" "$work/www/"; done
for variant in nofont nomodule badmodule badfont; do
    mkdir "$work/www/$variant"
    for f in "$site"/*; do ln -s "$f" "$work/www/$variant/"; done
done
rm "$work/www/nofont/fontpre.tga" "$work/www/nomodule/zap_wave.it" \
   "$work/www/badmodule/zap_wave.it" "$work/www/badfont/fontpre.tga"
head -c 5000 /dev/urandom > "$work/www/badmodule/zap_wave.it"
head -c 700 "$build/fontpre.tga" > "$work/www/badfont/fontpre.tga"

# The fast module: 40 one-row orders at tempo 255, a scene change every 10 ms.
mkdir "$work/score"
printf 'title Short\nspeed 1\ntempo 255\nchannel beep 32 64\n' > "$work/score/song.txt"
i=0
while [ $i -lt 40 ]; do echo "order $i beep" >> "$work/score/song.txt"; i=$((i + 1)); done
printf '[01 beep]\nosc = sine\nlength = 0.05\n' > "$work/score/instruments.txt"
printf 'pattern beep\ncolumns beep\n00 | C-5 01 .. ...\n' > "$work/score/beep.pat"
"$build/make-module" --dir "$work/score" --out "$work/www/fast.it" > /dev/null || fail "make-module"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/www" > "$work/server.log" 2>&1 &
server=$!
base=http://127.0.0.1:$port/
sleep 1

# --- frame mode: every scene at three moments, the gallery's among them ---------
moments="0:500 0:5000 0:14000 1:500 1:3000 1:9000 2:1800 2:7000 2:14000
         3:800 3:2400 3:12000 4:3000 4:8000 4:15000 5:1500 5:6000 5:13000
         6:2000 6:10000 6:15000 7:1000 7:5000 7:14500 8:3000 8:12000 8:17000"
page frames "$base" "$work/shots" $moments > "$work/frames.log" 2>&1 || { cat "$work/frames.log"; fail "frame mode"; }
allowed=307 # 0.1 % of 640 x 480
for m in $moments; do
    scene=${m%:*}; time=${m#*:}
    web=$work/shots/web-$scene-$time.png
    native=$work/shots/native-$scene-$time.png
    "$build/cubic-harmony-frame" --scene "$scene" --time "$time" --out "$native" --data "$build"
    differ=$(compare -metric AE -fuzz 1% "$web" "$native" null: 2>&1)
    echo "frame $scene/$time: $differ of 307200 pixels differ by more than 1 %"
    case $differ in
        ''|*[!0-9]*) fail "frame $scene/$time: no comparison ($differ)" ;;
        *) [ "$differ" -le $allowed ] || fail "frame $scene/$time: $differ pixels differ" ;;
    esac
done

# --- the page plays by itself from the first scene to its end screen -------------
page play "$base" "autostart=1&module=fast.it" 30 > "$work/play.log" 2>&1
seen=$(grep -oE 'cubic-harmony: (scene [0-9]+|end screen)' "$work/play.log" | sed 's/cubic-harmony: //' | tr '\n' ',')
echo "played: $seen"
[ "$seen" = "scene 0,scene 1,scene 2,scene 3,scene 4,scene 5,scene 6,scene 7,scene 8,end screen," ] ||
    { cat "$work/play.log"; fail "the page did not play every scene in order to its end screen"; }

# --- a missing or broken asset: one sentence naming it, on the page and in the console
# (folder|query|words the sentence must contain)
for case in "nofont||fontpre.tga is missing" "nomodule||zap_wave.it is missing" \
            "badmodule||zap_wave.it is broken" "badfont||fontpre.tga: too short" \
            "nofont|scene=1&time=0|fontpre.tga is missing"; do
    folder=${case%%|*}; rest=${case#*|}; query=${rest%%|*}; words=${rest#*|}
    page sentence "$base$folder/" "$query" > "$work/sentence.log" 2>&1
    shown=$(sed -n 's/^sentence: //p' "$work/sentence.log")
    echo "$folder?$query: $shown"
    case $shown in *"$words"*) ;; *) fail "$folder?$query: no sentence with \"$words\"" ;; esac
    grep -q "^console: .*$words" "$work/sentence.log" || fail "$folder?$query: the console does not say \"$words\""
done

CHROMIUM_FLAGS="--disable-webgl --disable-3d-apis" page sentence "$base" "" > "$work/sentence.log" 2>&1
shown=$(sed -n 's/^sentence: //p' "$work/sentence.log")
echo "without WebGL: $shown"
case $shown in *WebGL*) ;; *) fail "without WebGL: no sentence naming WebGL" ;; esac

[ $failures -eq 0 ] && echo "PASS" || echo "$failures failures"
[ $failures -eq 0 ]
