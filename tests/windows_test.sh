#!/usr/bin/env bash
# The Windows edition (build-windows/, made by scripts/windows) under Wine on
# the X display the tests run on, each step in a Wine prefix of its own:
#   options  --help, --version and a bad option answer as the Linux build does
#   frames   the Windows frame tool, drawing through WGL, gives the golden pictures
#   play     a short module plays to its end with sound at a private null sink: exit 0
#   key      a key press ends the real demo at once
#   files    a missing or broken data file: one line and exit 1
# Usage: windows_test.sh STEP BUILD_DIR WINDOWS_DIR SOURCE_DIR   (needs an X display)
set -euo pipefail
[ $# -eq 4 ] || { sed -n '2,10s/^# \{0,1\}//p' "$0" >&2; exit 2; }
step=$1 build=$2 windows=$3 source=$4
fail() { echo "FAIL: $*"; exit 1; }
[ -n "${DISPLAY:-}" ] || fail "no X display"
[ -f "$windows/cubic-harmony.exe" ] || fail "$windows/cubic-harmony.exe is missing: run scripts/windows"
run=$(mktemp -d /tmp/cubic-harmony-wine-XXXXXX)
pulse=""
finish() {
    WINEPREFIX=$run/prefix wineserver -k 2> /dev/null || true
    [ -n "$pulse" ] && kill "$pulse" 2> /dev/null && wait "$pulse" 2> /dev/null
    rm -rf "$run"
}
trap finish EXIT

# A new prefix, made before the clock starts: its first start takes seconds.
# Mono and Gecko are not wanted (their installers would ask on screen).
export WINEPREFIX=$run/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i > "$run/wineboot.log" 2>&1 || { cat "$run/wineboot.log"; fail "wineboot"; }
wineserver -w
win() { echo "Z:$1"; }   # Wine's drive Z: is the Unix root
exe=$windows/cubic-harmony.exe

case $step in
options)
    # Windows ends lines with CR LF; the words must be the Linux build's.
    for args in "--help" "--version" "--no-such-option" "--scene 9" "--window 12x12"; do
        set +e
        wine "$exe" $args > "$run/out" 2> "$run/err"; code=$?
        "$build/cubic-harmony" $args > "$run/linux-out" 2> "$run/linux-err"; linuxCode=$?
        set -e
        tr -d '\r' < "$run/out" > "$run/out-lf"
        tr -d '\r' < "$run/err" > "$run/err-lf"
        echo "$args: exit $code, $(wc -l < "$run/out-lf") lines out, stderr: $(cat "$run/err-lf")"
        [ "$code" -eq "$linuxCode" ] || fail "$args: exit $code, Linux $linuxCode"
        cmp -s "$run/out-lf" "$run/linux-out" || { diff "$run/out-lf" "$run/linux-out"; fail "$args: standard output"; }
        cmp -s "$run/err-lf" "$run/linux-err" || { diff "$run/err-lf" "$run/linux-err"; fail "$args: standard error"; }
    done
    ;;
frames)
    # Every row of the golden list, compared pixel for pixel (ImageMagick's count of differing pixels).
    mismatches=0 rows=0
    while read -r scene time fps extra; do
        case $scene in ''|\#*) continue ;; esac
        name=s${scene}_t${time}$(echo " $extra" | tr -d '-' | tr ' ' '_' | sed 's/_$//')   # as bless-frames names it
        golden=$source/tests/golden/$name.png
        [ -f "$golden" ] || fail "no golden picture $name.png"
        wine "$windows/cubic-harmony-frame.exe" --scene "$scene" --time "$time" --fps "$fps" $extra \
            --data "$(win "$windows")" --out "$(win "$run/$name.png")" 2> "$run/frame-err" \
            || { cat "$run/frame-err"; fail "$name: the frame tool failed"; }
        differ=$(compare -metric AE "$golden" "$run/$name.png" null: 2>&1 || true)
        echo "$name: $differ pixels differ"
        rows=$((rows + 1))
        [ "$differ" = 0 ] || mismatches=$((mismatches + 1))
    done < "$source/tests/golden/frames.txt"
    echo "$rows frames, $mismatches differ"
    [ "$mismatches" -eq 0 ] || fail "$mismatches of $rows frames differ from the golden ones"
    ;;
play|key)
    # A private sound server with a null sink; Wine's PulseAudio driver finds it
    # through XDG_RUNTIME_DIR, and the sink's monitor records what is heard.
    # SDL's own choice of driver, as on Windows: the dummy the other tests ask
    # for would reach the program through Wine's environment.
    unset SDL_AUDIODRIVER
    export XDG_RUNTIME_DIR=$run/pulse
    mkdir -p "$XDG_RUNTIME_DIR"
    pulseaudio --daemonize=no -n --exit-idle-time=-1 --load="module-null-sink sink_name=out" \
        --load=module-native-protocol-unix > "$run/pulse.log" 2>&1 &
    pulse=$!
    for _ in $(seq 50); do pactl info > /dev/null 2>&1 && break; sleep 0.1; done
    pactl info > /dev/null 2>&1 || { cat "$run/pulse.log"; fail "no sound server"; }
    mkdir "$run/data"
    cp "$windows/fontpre.tga" "$run/data/"
    if [ "$step" = play ]; then
        # 40 one-row orders of 0.1 s: the scene table's last row ends at the last number printed.
        ends=$("$build/tests/fast-module" "$run/data/zap_wave.it" 40 2 50)
        lastMs=$(echo $ends | awk '{print $NF}')
    else
        cp "$windows/zap_wave.it" "$run/data/"
    fi
    heardSamples() { od -An -v -td2 -w2 "$run/heard.raw" | awk '$1 != 0 {n++} END {print n + 0}'; }
    parec --device=out.monitor --raw --format=s16le --channels=2 --rate=44100 > "$run/heard.raw" &
    recorder=$!
    start=$(date +%s%N)
    wine "$exe" --window 640x480 --data "$(win "$run/data")" > "$run/out" 2> "$run/err" &
    demo=$!
    streams=0
    if [ "$step" = key ]; then
        # The window is up and the music is heard at the sink (the recorder
        # writes what it hears in bursts, so the key waits for it); then one key.
        for _ in $(seq 300); do
            streams=$(pactl list short sink-inputs | wc -l)
            [ "$streams" -gt 0 ] && [ "$(heardSamples)" -gt 0 ] &&
                xdotool search --name "^Cubic Harmony$" > /dev/null 2>&1 && break
            sleep 0.1
        done
        window=$(xdotool search --name "^Cubic Harmony$" | head -n 1)
        [ -n "$window" ] || fail "no window named Cubic Harmony"
        xdotool windowfocus --sync "$window" key q
        pressed=$(date +%s%N)
    else
        # The music starts as the sound stream opens: from then on it must play its length.
        while kill -0 "$demo" 2> /dev/null; do
            if [ "$streams" -eq 0 ]; then
                streams=$(pactl list short sink-inputs | wc -l)
                opened=$(date +%s%N)
            fi
            sleep 0.1
        done
    fi
    set +e
    wait "$demo"; code=$?
    set -e
    end=$(date +%s%N)
    kill "$recorder"; wait "$recorder" 2> /dev/null || true
    heard=$(heardSamples)
    echo "exit $code after $(( (end - start) / 1000000 )) ms; sound streams seen: $streams;" \
         "non-zero samples at the null sink: $heard; stderr: $(tr -d '\r' < "$run/err")"
    [ "$code" -eq 0 ] || fail "exit code $code"
    [ "$streams" -gt 0 ] && [ "$heard" -gt 0 ] || fail "nothing was heard at the null sink"
    if [ "$step" = play ]; then
        playedMs=$(( (end - opened) / 1000000 ))
        echo "it ended $playedMs ms after its sound stream opened; the scene table's last row ends at $lastMs ms"
        [ "$playedMs" -ge "$lastMs" ] || fail "it ended before the music did"
    else
        echo "ended $(( (end - pressed) / 1000000 )) ms after the key"
        [ $(( (end - pressed) / 1000000 )) -lt 3000 ] || fail "the key did not end it at once"
    fi
    ;;
files)
    # Each case: the folder's two files, the line's words, with --silent (the files are read all the same).
    mkdir "$run/missing" "$run/cut" "$run/font" "$run/folder" "$run/folder/fontpre.tga"
    cp "$windows/fontpre.tga" "$run/cut/"
    head -c 3000 "$windows/zap_wave.it" > "$run/cut/zap_wave.it"
    cp "$windows/zap_wave.it" "$run/font/"
    head -c 1000 "$windows/fontpre.tga" > "$run/font/fontpre.tga"
    for check in "missing:fontpre.tga: cannot open: No such file or directory" \
                 "cut:zap_wave.it: the file is cut off" "font:fontpre.tga: too short" \
                 "folder:fontpre.tga: it is a directory"; do
        folder=${check%%:*} says=${check#*:}
        set +e
        wine "$exe" --silent --window 640x480 --data "$(win "$run/$folder")" > "$run/out" 2> "$run/err"; code=$?
        set -e
        tr -d '\r' < "$run/err" > "$run/err-lf"
        echo "$folder: exit $code: $(cat "$run/err-lf")"
        [ "$code" -eq 1 ] || fail "$folder: exit code $code"
        [ "$(wc -l < "$run/err-lf")" -eq 1 ] || fail "$folder: not one line"
        grep -q "^cubic-harmony: Z:$run/$folder/$says" "$run/err-lf" || fail "$folder: not the line expected"
    done
    ;;
*) fail "no step named $step" ;;
esac
