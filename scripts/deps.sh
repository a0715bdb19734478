#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    build-essential cmake git python3 openssl libssl-dev zlib1g-dev libgtest-dev googletest \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev \
    wine wine64 wine32:i386 xvfb xauth xdotool imagemagick x11-utils \
    clang libclang-rt-14-dev osslsigncode >/dev/null
