#!/bin/sh
# test.sh [sanitize]: installs what is missing, builds kovex, its engine and the
# tests, and runs them all. With "sanitize" the whole suite runs once more on a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, failing on any report.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh test
if [ "${1:-}" = "sanitize" ]; then
    build=build-sanitize
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKOVEX_BUILD_TESTS=ON -DKOVEX_SANITIZE=ON -DKOVEX_WERROR=ON
    export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
else
    build=build-test
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVEX_BUILD_TESTS=ON -DKOVEX_WERROR=ON
fi
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
