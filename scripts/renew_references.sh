#!/usr/bin/env bash
# Renews the reference pictures of the demo (tests/demo/references: the
# middle of every shot and three quarters into it, at 320 x 180) from the
# current build. Run it only
# when the pictures are meant to change, and say so in the commit.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tarvel_install_packages
tarvel_build release
root="$(tarvel_root)"
TARVEL_RENEW_REFERENCES=1 "$root/build/release/tests/demo/playback_tests" \
  --gtest_filter='PlaybackTest.EveryShotAtItsMiddleAndThreeQuartersInIsTheReferencePicture'
ls -l "$root/tests/demo/references"
