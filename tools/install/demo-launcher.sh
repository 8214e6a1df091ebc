#!/bin/sh
# Plays the installed demo. It opens fontpre.tga and zap_wave.it from its
# working directory, so it runs from the folder that holds them.
here=$(dirname "$(readlink -f "$0")")
cd "$here/../share/cubic-harmony" || exit 1
exec "$here/../libexec/cubic-harmony/cubic-harmony" "$@"
