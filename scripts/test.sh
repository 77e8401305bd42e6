#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tarvel_install_packages
tarvel_build release
# The browser build, which the browser test loads in chromium.
tarvel_web_build
cd "$(tarvel_root)"
ctest --preset release "$@"
