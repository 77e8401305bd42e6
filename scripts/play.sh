#!/usr/bin/env bash
# Installs what playing needs, builds the demo and its data only (no tests,
# no benchmarks), and plays it. Extra arguments go to the demo (try --help,
# or --windowed).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tarvel_install_packages play
tarvel_play_build
exec "$(tarvel_root)/build/release/run/tarvel" "$@"
