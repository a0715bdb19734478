#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
# A mirror in the middle of a sync fails one index now and then: try again, then go on with the
# lists that did load (the install below fails if a package is really missing).
for attempt in 1 2 3; do
    apt-get update -qq && break
    sleep 10
done
apt-get install -y -qq --no-install-recommends \
    build-essential cmake git python3 openssl libssl-dev zlib1g-dev libgtest-dev googletest \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev \
    wine wine64 xvfb xauth xdotool imagemagick x11-utils \
    clang libclang-rt-14-dev osslsigncode wixl msitools locales >/dev/null
# The locales of the end-to-end runs: an English and a Russian user.
sed -i -E 's/^# *((en_US|ru_RU)\.UTF-8 UTF-8)/\1/' /etc/locale.gen
locale-gen >/dev/null
# 32-bit Wine runs the shipped 32-bit programs; where it cannot be had (no i386 index, or a mirror
# whose i386 lists lag behind), the tests use the 64-bit build under wine64 instead.
apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
    echo "deps: wine32:i386 could not be installed; the 64-bit build stands in for 32-bit programs"
