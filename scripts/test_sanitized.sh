#!/usr/bin/env bash
# Builds the "asan" preset (Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test ctest finds in it, under the
# options of the "asan" test preset (CMakePresets.json): leaks checked with
# tests/lsan.supp, the first error aborts the process.
#
#   scripts/test_sanitized.sh [ctest arguments...]
#
# Tests that run the tarvel binary run the sanitized build's own binary,
# which inherits the options. A finding aborts (SIGABRT, never an exit
# status a test might expect of a refused run), and any finding fails the
# script even when its test passed: AddressSanitizer and LeakSanitizer write
# every report, a child process's too, to build/asan/sanitizer-reports/, and
# an UndefinedBehaviorSanitizer report (always on stderr: this runtime has no
# log file beside AddressSanitizer) is looked for in the tests' output.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tarvel_install_packages
tarvel_build asan
root="$(tarvel_root)"
reports="$root/build/asan/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
# The test preset puts this after its own options; whatever the caller set
# comes last and wins.
export ASAN_OPTIONS="log_path=$reports/asan${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
cd "$root"
status=0
# The browser test checks the web build, which is not sanitized; the
# release suite runs it.
ctest --preset asan --label-exclude browser "$@" || status=$?
shopt -s nullglob
found=("$reports"/*)
if [ ${#found[@]} -gt 0 ]; then
  for f in "${found[@]}"; do
    echo "---- ${f#"$root"/}" >&2
    head -n 80 "$f" >&2
  done
  echo "test_sanitized: ${#found[@]} sanitizer report(s), listed above" >&2
  status=1
fi
log="$root/build/asan/Testing/Temporary/LastTest.log"
if [ -f "$log" ] && grep -qE 'runtime error:|ERROR: (Address|Leak)Sanitizer' "$log"; then
  grep -nE -A 12 'runtime error:|ERROR: (Address|Leak)Sanitizer' "$log" | head -n 120 >&2
  echo "test_sanitized: sanitizer reports in the tests' output (build/asan/Testing/Temporary/LastTest.log)" >&2
  status=1
fi
if [ "$status" -eq 0 ]; then
  echo "test_sanitized: all tests passed, no sanitizer reports" >&2
fi
exit "$status"
