#!/bin/sh
# Starts the demo from its own folder, wherever it was unpacked and whatever
# folder a file manager starts this from; options go to the demo.
cd "$(dirname "$0")" && exec ./cubic-harmony "$@"
