#!/bin/sh
# test.sh: installs what is missing, builds kovex, its engine and the tests, and runs them all.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh test
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVEX_BUILD_TESTS=ON
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
