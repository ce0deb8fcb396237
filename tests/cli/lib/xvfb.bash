# Starts a private X server (Xvfb) for the test and points DISPLAY at it; stopped on exit.
# Sourced after common.bash. Tests that run at the same time take display numbers from their own
# range (xvfb_first, default 141) so that they never start a server on the same number.
command -v Xvfb >/dev/null || { echo "FAIL: Xvfb is not installed (scripts/bootstrap installs xvfb)"; exit 1; }
xvfb_first=${xvfb_first:-141}
for n in $(seq "$xvfb_first" $((xvfb_first + 49))); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$n" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X$n" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$n"
unset WAYLAND_DISPLAY
