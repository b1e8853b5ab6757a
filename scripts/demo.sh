#!/bin/sh
# demo.sh: builds kovex and its engine, makes a few seconds of music-like sound
# of our own and encodes it to build/demo/sample.mp3.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKOVEX_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)" --target kovex lame_enc make_music_wav
mkdir -p build/demo
build/tools/make_music_wav build/demo/sample.wav 8
# -GUI: no wait for Enter at the end, so the demo runs unattended.
build/bin/kovex -GUI build/demo/sample.wav build/demo/sample.mp3
ls -l build/demo/sample.mp3
