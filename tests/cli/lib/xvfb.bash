# Starts a private X server (Xvfb) for the test and points DISPLAY at it; stopped on exit.
# Sourced after common.bash.
command -v Xvfb >/dev/null || { echo "FAIL: Xvfb is not installed (scripts/bootstrap installs xvfb)"; exit 1; }
for n in $(seq 141 190); do
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
