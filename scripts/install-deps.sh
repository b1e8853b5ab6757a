#!/bin/sh
# install-deps.sh [test]: installs the Debian packages kovex needs that are missing.
# Building needs a C++ toolchain, CMake and libmp3lame; the tests also need
# GoogleTest, LAME's own encoder (a peer to compare with) and libmpg123 (a decoder).
set -eu

packages="g++ cmake make libmp3lame-dev"
if [ "${1:-}" = "test" ]; then
    packages="$packages libgtest-dev lame libmpg123-dev"
fi

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
