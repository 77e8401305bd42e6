#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each one for a bounded time. Any finding fails the script.
#
#   scripts/fuzz.sh [target...]     FUZZ_SECONDS=N (default 30) per target
#
# Seed inputs live in tests/fuzz/corpus/<target>/; new inputs found during a
# run go to build/fuzz/corpus/<target>/ and never into the source tree.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tarvel_install_packages
tarvel_build fuzz
root="$(tarvel_root)"
seconds="${FUZZ_SECONDS:-30}"
cd "$root/build/fuzz/fuzz"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in *_fuzz; do [ -x "$f" ] && targets+=("$f"); done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets built" >&2
  exit 1
fi
for t in "${targets[@]}"; do
  work="$root/build/fuzz/corpus/$t"
  mkdir -p "$work"
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$t" ] && seeds=("$root/tests/fuzz/corpus/$t")
  echo "fuzz: $t for ${seconds} s" >&2
  # One input may take up to 25 s: the largest image the loader takes (64
  # million pixels) decodes in about 5 s under the sanitizers on a busy
  # 2-core machine; anything slower is a hang.
  "./$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$root/build/fuzz/$t-" "$work" "${seeds[@]}" 2>"$root/build/fuzz/$t.log" || {
      tail -n 60 "$root/build/fuzz/$t.log" >&2
      echo "fuzz: $t found a problem; the input is saved as build/fuzz/$t-*" >&2
      exit 1
    }
  grep -E '^stat::number_of_executed_units' "$root/build/fuzz/$t.log" >&2 || true
done
echo "fuzz: all targets ran clean" >&2
