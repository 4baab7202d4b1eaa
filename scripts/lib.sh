#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Shared by scripts/run and scripts/test: installs what is missing, configures and builds a preset.
set -euo pipefail

VELLMAR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages the build, the tests and the program need.
VELLMAR_PACKAGES=(
    cmake ninja-build g++ pkg-config git ccache
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n libgl-dev
    libcurl4-openssl-dev libssl-dev libpugixml-dev libgif-dev libimagequant-dev
    libheif-dev libwebp-dev libtiff-dev liblcms2-dev libexiv2-dev libjxl-dev
    libxcb1-dev libxcb-ewmh-dev dbus-daemon
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
    libsqlite3-dev
    googletest libgtest-dev
    fonts-dejavu-core fonts-wine fonts-liberation2 xvfb xauth x11-utils clang-format
    desktop-file-utils appstream
)

# Installs the packages of "$@" that are not installed yet; silent when none is missing.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds one CMake preset; the tool output is shown only when a step fails.
build_preset() {
    local preset=$1
    local log="$VELLMAR_ROOT/build/$preset.log"
    mkdir -p "$VELLMAR_ROOT/build"
    cd "$VELLMAR_ROOT"
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        cat "$log"
        echo "Build of preset '$preset' failed (log: $log)" >&2
        return 1
    fi
}
