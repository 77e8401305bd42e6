#!/usr/bin/env bash
# The one list of Debian packages the project needs, and the shared set-up that
# both Quick start commands run: install what is missing, configure, build.
#
#   scripts/setup.sh [preset]      install + configure + build (default preset: release)
#
# Sourced by play.sh and test.sh; safe to run again (only missing packages are
# installed, the build is incremental). Playing needs only the first list;
# the tests, benchmarks and fuzz targets need the second as well.
set -euo pipefail

TARVEL_PLAY_PACKAGES=(
  # toolchain
  g++ cmake ninja-build pkg-config
  # window, input, audio, timer (SDL2); OpenGL through libepoxy; headless EGL
  libsdl2-dev libepoxy-dev libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  # images (stb_image, stb_image_write, stb_vorbis, stb_dxt; libjpeg-turbo
  # for JPEG) and music encoding
  libstb-dev libjpeg62-turbo-dev libvorbis-dev libogg-dev
  # PNG frames of --capture are deflated by zlib (four times faster than
  # stb_image_write's own deflate)
  zlib1g-dev
  # the TrueType font the developer overlay's bitmap font is baked from
  fonts-dejavu-core
  # --video (ffmpeg)
  ffmpeg
  # the "ERROR" message box draws its text with X core fonts
  xfonts-base
  # jolp3d import reads glTF 2.0 (tinygltf, header-only, with its JSON parser)
  libtinygltf-dev nlohmann-json3-dev
)
# The browser build (scripts/web.sh): emscripten with its node and clang.
TARVEL_WEB_PACKAGES=(
  emscripten
)
TARVEL_TEST_PACKAGES=(
  "${TARVEL_WEB_PACKAGES[@]}"
  # the browser build is tested in a real browser, headless
  chromium chromium-driver python3-selenium
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzz targets (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
  # windowed integration tests without a display
  xvfb xauth xdotool
)
TARVEL_PACKAGES=("${TARVEL_PLAY_PACKAGES[@]}" "${TARVEL_TEST_PACKAGES[@]}")

tarvel_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# tarvel_install_packages [play|web]: every package, or only those playing
# (or building for the browser) needs.
tarvel_install_packages() {
  local wanted=("${TARVEL_PACKAGES[@]}")
  [ "${1:-}" = "play" ] && wanted=("${TARVEL_PLAY_PACKAGES[@]}")
  [ "${1:-}" = "web" ] && wanted=("${TARVEL_PLAY_PACKAGES[@]}" "${TARVEL_WEB_PACKAGES[@]}")
  local missing=()
  local p
  for p in "${wanted[@]}"; do
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

# tarvel_build [preset]: configures with the tests and benchmarks and builds
# everything. tarvel_play_build: the release build of the demo and its data
# only, for a first frame in minutes.
tarvel_build() {
  local preset="${1:-release}"
  local root
  root="$(tarvel_root)"
  local options=()
  [ "$preset" != "fuzz" ] && options=(-DTARVEL_BUILD_TESTS=ON -DTARVEL_BUILD_BENCH=ON)
  (cd "$root" && cmake --preset "$preset" "${options[@]}" >/dev/null && cmake --build --preset "$preset")
}

tarvel_play_build() {
  local root
  root="$(tarvel_root)"
  (cd "$root" && cmake --preset release -DTARVEL_BUILD_TESTS=OFF -DTARVEL_BUILD_BENCH=OFF >/dev/null &&
    cmake --build --preset release --target tarvel tarvel_data_set)
}

# tarvel_web_build: the browser build into build/web (Tarvel) and
# build/web/lantern (the example demo), packing the data sets the native
# release build writes (built here first, in whatever configuration
# build/release already has).
tarvel_web_build() {
  local root
  root="$(tarvel_root)"
  if ! command -v emcmake >/dev/null 2>&1; then
    echo "setup: emscripten is not installed (scripts/web.sh installs it)" >&2
    return 1
  fi
  if [ ! -f "$root/build/release/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset release -DTARVEL_BUILD_TESTS=OFF -DTARVEL_BUILD_BENCH=OFF >/dev/null)
  fi
  (cd "$root" && cmake --build --preset release --target tarvel tarvel_data_set lantern_web_data)
  # A node from outside Debian does not look in Debian's module folder,
  # where emscripten's JavaScript optimiser finds acorn.
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
  (cd "$root" && emcmake cmake -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DTARVEL_WEB_DATA="$root/build/release/run" -DLANTERN_WEB_DATA="$root/build/release/lantern-run" >/dev/null &&
    cmake --build build/web)
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  tarvel_install_packages
  tarvel_build "${1:-release}"
fi
