#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing.
# Sourced by tools/run, tools/test, tools/fuzz and tools/bench; safe to run any number of times.
set -euo pipefail

NW_PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    qtkeychain-qt6-dev         # the SMTP password lives in the desktop's keychain
    openssl                    # the mail tests make their TLS certificates at run time
    python3 python3-aiosmtpd   # the real SMTP server the mail tests talk to
    nginx-light                # the HTTP server with range support for the download tests
    xvfb xauth                 # a display for running the desktop program headless
    desktop-file-utils appstream  # the install test validates the launcher entry and the metainfo
)

# Only tools/fuzz needs these: the compiler with libFuzzer and the sanitizers' run-time libraries.
NW_FUZZ_PACKAGES=(clang libclang-rt-dev)

# tools/package needs these: dependencies computed from the libraries linked, and the package's checks.
NW_PACKAGE_PACKAGES=(dpkg-dev lintian)

# Installs NW_PACKAGES and the packages given as arguments.
nw_install_deps() {
    local missing=()
    for p in "${NW_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# Configures and builds the tree in build/ (or $NW_BUILD_DIR) with the given extra CMake arguments; only
# the targets named in $NW_BUILD_TARGETS when it is set.
nw_build() {
    local dir="${NW_BUILD_DIR:-build}" launcher=()
    # ccache, where installed, shares objects between build trees and clones: paths are taken relative to
    # the checkout and the build folder is left out of the hash.
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    fi
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${NW_BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@" >/dev/null
    # shellcheck disable=SC2086 # the target names are separate words
    cmake --build "$dir" --parallel "$(nproc)" ${NW_BUILD_TARGETS:+--target $NW_BUILD_TARGETS}
}
