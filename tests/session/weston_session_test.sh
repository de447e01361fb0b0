#!/usr/bin/env bash
# Runs the session probe under a private weston (headless backend, output
# scale 2, with XWayland) three ways: as the program chooses on a Wayland
# session (native Wayland), with QT_QPA_PLATFORM=xcb as a user may ask, and
# with a Wayland display that is not there, where it must fall back to X11.
# Natively the zoom window must name the main window as its parent in the
# protocol (xdg_toplevel.set_parent), since a client cannot read stacking,
# and at 200 % ask to be fitted to the work area (set_maximized).
# Usage: weston_session_test.sh <zavio_session_probe>
set -uo pipefail

probe=$1
for tool in weston Xwayland; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL $tool is missing; scripts/deps.sh installs it" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/zavio-weston.XXXXXX)
chmod 700 "$work"
weston_pid=
cleanup() {
  [[ -n $weston_pid ]] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL $*" >&2
  exit 1
}

export XDG_RUNTIME_DIR=$work
socket=wayland-zavio-$$
weston --backend=headless-backend.so --use-pixman --width=1280 --height=1024 --scale=2 \
  --xwayland --socket="$socket" --idle-time=0 --log="$work/weston.log" &
weston_pid=$!
display=
for _ in $(seq 100); do
  display=$(grep -oP 'xserver listening on display \K:[0-9]+' "$work/weston.log" 2>/dev/null)
  [[ -S $work/$socket && -n $display ]] && break
  kill -0 "$weston_pid" 2>/dev/null || fail "weston did not start: $(cat "$work/weston.log")"
  sleep 0.1
done
[[ -S $work/$socket && -n $display ]] || fail "weston did not open its socket and XWayland display"

pictures=$work/pictures
mkdir "$pictures"

# Runs the probe in the picture folder with the given environment; its output
# goes to $work/<name>.out, Qt's and the protocol log to $work/<name>.err.
run() {
  local name=$1
  shift
  (env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR -u QT_IM_MODULE \
    XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY="$socket" DISPLAY="$display" "$@" \
    timeout 60 "$probe" "$pictures" >"$work/$name.out" 2>"$work/$name.err")
  local status=$?
  sed "s/^/$name: /" "$work/$name.out"
  ((status == 0)) || fail "$name: the probe ended with status $status; stderr:
$(grep -v '^\[' "$work/$name.err" | tail -20)"
}
expect() {
  grep -qx "$2" "$work/$1.out" || fail "$1: expected the line '$2'"
}

run native WAYLAND_DEBUG=client
expect native "platform wayland"
expect native "device-pixel-ratio 2"
main=$(grep -oP 'xdg_toplevel@\K[0-9]+(?=\.set_title\("ザヴィオ)' "$work/native.err" | head -1)
zoom=$(grep -oP 'xdg_toplevel@\K[0-9]+(?=\.set_title\("可変表示)' "$work/native.err" | head -1)
[[ -n $main && -n $zoom ]] || fail "native: no titled toplevels for the main and zoom windows in the protocol log"
# A client cannot see where its window is, so at 200 % the zoom window must
# have the compositor lay it over the work area instead of growing past it.
grep -q "xdg_toplevel@$zoom\.set_maximized()" "$work/native.err" \
  || fail "native: the zoom window at 200 % did not ask the compositor to fit it to the work area"

grep -q "xdg_toplevel@$zoom\.set_parent(xdg_toplevel@$main)" "$work/native.err" \
  || fail "native: the zoom window (xdg_toplevel@$zoom) is not made a child of the main window (xdg_toplevel@$main)"
echo "native: the zoom window's toplevel names the main window's as its parent"

run xcb QT_QPA_PLATFORM=xcb
expect xcb "platform xcb"

run fallback WAYLAND_DISPLAY=wayland-zavio-absent-$$
expect fallback "platform xcb"
echo "PASSED"
