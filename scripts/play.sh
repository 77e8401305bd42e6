#!/usr/bin/env bash
# Installs what is missing, builds, and plays the demo. Extra arguments go to
# the demo (try --help, or --windowed).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tarvel_install_packages
tarvel_build release
exec "$(tarvel_root)/build/release/run/tarvel" "$@"
