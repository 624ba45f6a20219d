#!/usr/bin/env bash
# Runs the logic tests (headless runtime, no window) under valgrind's memory checker.
set -euo pipefail
build=${1:-build/dev}
failed=0
for test in test_conversions test_runtime test_panel test_solver test_animation \
            test_every_interleaving test_pictures; do
  if valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
       "$build/tests/$test" >"$build/valgrind-$test.log" 2>&1; then
    echo "valgrind: $test clean"
  else
    echo "valgrind: $test FAILED (see $build/valgrind-$test.log)"
    tail -30 "$build/valgrind-$test.log"
    failed=1
  fi
done
exit $failed
