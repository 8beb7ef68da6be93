#!/usr/bin/env bash
# Builds everything and runs every test.
source "$(dirname "$0")/common.sh"
ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth xdotool trayer
build
ctest --test-dir build --output-on-failure -j 2
