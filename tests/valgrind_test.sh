#!/bin/sh
# The real demo under valgrind's memcheck for a few seconds of play, ended by
# SIGTERM: no memory errors, and no definite leak outside the platform's
# libraries (those are named in tests/valgrind.supp).
# Usage: valgrind_test.sh BUILD_DIR SOURCE_DIR [seconds of play]
set -u
build=$1 source=$2 play=${3:-4}
run=$(mktemp -d /tmp/cubic-harmony-valgrind-XXXXXX)
trap 'rm -rf "$run"' EXIT
ln -s "$build/fontpre.tga" "$build/zap_wave.it" "$run/"
cd "$run"

# The disk driver writes the sound to audio.raw: its growth says that the
# music, and with it the main loop, has started.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=audio.raw \
valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
         --errors-for-leak-kinds=definite --suppressions="$source/tests/valgrind.supp" \
         --gen-suppressions=all --num-callers=40 --keep-debuginfo=yes --log-file=memcheck.log \
         "$build/cubic-harmony" > stdout.txt 2> stderr.txt &
pid=$!
waited=0
while [ ! -s audio.raw ] && kill -0 $pid 2> /dev/null && [ $waited -lt 120 ]; do sleep 1; waited=$((waited + 1)); done
sleep "$play"
heard=$(stat -c %s audio.raw 2> /dev/null || echo 0)
kill -TERM $pid
wait $pid
code=$?
echo "music started after about $waited s; $((heard / 176)) ms of sound when SIGTERM was sent; exit code $code"
if [ $code -ne 0 ] || [ "$heard" -eq 0 ]; then
    cat stderr.txt memcheck.log
    exit 1
fi
grep -E "ERROR SUMMARY|definitely lost|suppressed:" memcheck.log | sed "s/^==[0-9]*== //"
