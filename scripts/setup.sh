#!/usr/bin/env bash
# The one list of Debian packages the project needs, and the shared set-up that
# both Quick start commands run: install what is missing, configure, build.
#
#   scripts/setup.sh [preset]      install + configure + build (default preset: release)
#
# Sourced by play.sh and test.sh; safe to run again (only missing packages are
# installed, the build is incremental).
set -euo pipefail

TARVEL_PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config
  # window, input, audio, timer (SDL2); OpenGL through libepoxy; headless EGL
  libsdl2-dev libepoxy-dev libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  # images (stb_image, stb_image_write, stb_vorbis, stb_dxt) and music encoding
  libstb-dev libjpeg62-turbo-dev libvorbis-dev libogg-dev
  # the TrueType font the developer overlay's bitmap font is baked from
  fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzz targets (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
  # --video and its tests (ffmpeg, ffprobe)
  ffmpeg
  # windowed integration tests without a display
  xvfb xauth xdotool
  # the "ERROR" message box draws its text with X core fonts
  xfonts-base
)

tarvel_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

tarvel_install_packages() {
  local missing=()
  local p
  for p in "${TARVEL_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "setup: installing ${missing[*]}" >&2
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "setup: missing packages (${missing[*]}) and not root; run as root or install sudo" >&2
      return 1
    fi
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

tarvel_build() {
  local preset="${1:-release}"
  local root
  root="$(tarvel_root)"
  (cd "$root" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset")
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  tarvel_install_packages
  tarvel_build "${1:-release}"
fi
