#!/bin/sh
# Plays the installed demo with the asset folder of the installation; it stays
# in the user's working directory.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../libexec/cubic-harmony/cubic-harmony" --data "$here/../share/cubic-harmony" "$@"
