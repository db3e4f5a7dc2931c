#!/usr/bin/env bash
# Installs what the suite needs to build, test and render its demo on Debian 12 (run as root).
# --with-ardour also installs Ardour 7 for tools/host-check.sh (which ctest runs when it is there).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config ccache git ca-certificates \
  juce-modules-source libfftw3-dev libsndfile1-dev \
  libgtest-dev googletest libbenchmark-dev \
  libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev \
  libx11-dev libxcomposite-dev libxcursor-dev libxext-dev libxinerama-dev libxrandr-dev libxrender-dev \
  libgl-dev lv2-dev \
  fonts-league-spartan \
  xvfb xauth sox libsox-fmt-mp3 lilv-utils jackd2 clang-format clang libclang-rt-14-dev libsleef-dev
if [ "${1:-}" = --with-ardour ]; then
  apt-get install -y --no-install-recommends ardour
fi
