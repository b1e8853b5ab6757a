#!/bin/sh
# install-deps.sh [build|test|bench|fuzz]: installs the Debian packages that
# kovex needs for that work and that are missing (build is the default).
#   build  a C++ toolchain, CMake, libmp3lame and TagLib
#   test   also GoogleTest, LAME's own encoder (a peer to compare with),
#          libmpg123 (a decoder), mutagen (to read tags back) and dpkg-dev
#          (to build and unpack the Debian package)
#   bench  also LAME's own encoder and valgrind (instruction counts)
#   fuzz   also clang and its runtime for libFuzzer and the sanitizers
set -eu

packages="g++ cmake make libmp3lame-dev libtag1-dev"
case "${1:-build}" in
build) ;;
test) packages="$packages libgtest-dev lame libmpg123-dev python3-mutagen dpkg-dev" ;;
bench) packages="$packages lame valgrind" ;;
fuzz) packages="$packages clang libclang-rt-14-dev" ;;
*)
    echo "install-deps: unknown mode ${1} (build, test, bench or fuzz)" >&2
    exit 2
    ;;
esac

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi
echo "install-deps: installing$missing"
apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
