#!/bin/sh
# The real demo under valgrind's memcheck for a few seconds of play, ended by
# SIGTERM: no memory errors, and no definite leak outside the platform's
# libraries (those are named in tests/valgrind.supp).
# Usage: memcheck_test.sh BUILD_DIR SOURCE_DIR   (needs an X display)
set -u
run=$(mktemp -d /tmp/cubic-harmony-memcheck-XXXXXX)
trap 'rm -rf "$run"' EXIT
ln -s "$1/fontpre.tga" "$1/zap_wave.it" "$run/"
cd "$run"
# SDL's disk driver writes the sound to audio.raw: once it grows, the main loop runs.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=audio.raw valgrind --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --suppressions="$2/tests/valgrind.supp" \
    --gen-suppressions=all --num-callers=40 --keep-debuginfo=yes --log-file=memcheck.log "$1/cubic-harmony" --window > out.txt 2>&1 &
pid=$!
waited=0
while [ ! -s audio.raw ] && kill -0 $pid 2> /dev/null && [ $waited -lt 120 ]; do sleep 1; waited=$((waited + 1)); done
sleep 4
kill -TERM $pid
wait $pid
code=$?
grep -E "ERROR SUMMARY|definitely lost" memcheck.log | sed "s/^==[0-9]*== //"
[ $code -eq 0 ] && [ -s audio.raw ] || { echo "FAIL: exit code $code after $waited s"; cat out.txt memcheck.log; exit 1; }
