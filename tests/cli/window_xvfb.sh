#!/usr/bin/env bash
# The graphics start-up in a real window: starts its own X server (Xvfb), runs the window
# start-up test with a window required, then the viewer itself, which must make its window and
# play to the end of the animation with /close (exit 1) without falling back to headless.
. "$(dirname "${BASH_SOURCE[0]}")/lib/common.bash"
tests="$bin/../tests/test_render"
[ -x "$tests" ] || { echo "FAIL: $tests is not built"; exit 1; }
xvfb_first=91
. "$src/tests/cli/lib/xvfb.bash"

if KZV_EXPECT_WINDOW=1 "$tests" --gtest_filter='WindowStartup.*' >"$work/test.log" 2>&1; then
  echo "ok: window start-up test"
else
  echo "FAIL: window start-up test"; cat "$work/test.log"; fail=1
fi
grep -q '^\[  PASSED  \] 1 test' "$work/test.log" || { echo "FAIL: window start-up test did not run"; fail=1; }

cp "$src/data/real/RotatingCube.kzv" scene.kzv
timeout 60 "$bin/viewkzv" scene.kzv /resx:320 /resy:200 /close /t:9.5 2>err.txt
code=$?
if [ "$code" = 1 ] && [ ! -s err.txt ]; then
  echo "ok: viewer start-up in a window"
else
  echo "FAIL: viewer start-up: exit $code"; cat err.txt; fail=1
fi
if [ -f logfile.txt ] && grep -q 'No display available' logfile.txt; then
  echo "FAIL: the viewer fell back to headless"; fail=1
fi
exit $fail
