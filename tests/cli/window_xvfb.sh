#!/usr/bin/env bash
# The graphics start-up in a real window: starts its own X server (Xvfb), runs the window
# start-up test with a window required, then the viewer itself, which must make its window and
# play to the end of the animation with /close (exit 1) without falling back to headless.
set -u
bin=$1
src=$2
tests="$bin/../tests/test_render"
fail=0
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

command -v Xvfb >/dev/null || { echo "FAIL: Xvfb is not installed (scripts/bootstrap installs xvfb)"; exit 1; }
[ -x "$tests" ] || { echo "FAIL: $tests is not built"; exit 1; }

# A display number nobody uses.
for n in $(seq 91 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$n" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X$n" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$n"
unset WAYLAND_DISPLAY

if KZV_EXPECT_WINDOW=1 "$tests" --gtest_filter='WindowStartup.*' >"$work/test.log" 2>&1; then
  echo "ok: window start-up test"
else
  echo "FAIL: window start-up test"; cat "$work/test.log"; fail=1
fi
grep -q '^\[  PASSED  \] 1 test' "$work/test.log" || { echo "FAIL: window start-up test did not run"; fail=1; }

cd "$work"
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
