# Shared set-up for the end-to-end runs under Wine. Source it, then call
# wine_env_init once per test run.
#
#   wine_env_init DIR          use the prepared 32-bit prefix in DIR
#   wine_set_version EXE VER   Windows version for one program (win95, win98,
#                              winme, nt40, win2k, win31)
#   wine_map_drive L TARGET TYPE
#                              drive letter L onto folder TARGET ("-" for a drive
#                              with no medium) of TYPE cdrom, hd, floppy, network
#   wine_unmap_drive L
#   wine_run SECS CMD...       runs CMD under Xvfb-backed Wine with a deadline;
#                              returns CMD's exit code, 124 on time-out, and
#                              leaves no Wine process behind
#   wine_reg_add ARGS...       `reg add` inside the prefix
#   wine_stop                  ends every process of the prefix
#
# Everything runs headless: a private Xvfb display is started on first use
# unless QT_WINE_DISPLAY names a display to use instead.

wine_env_init() {
  export WINEPREFIX="$1"
  export WINEARCH=win32
  export WINEDEBUG=-all
  # Prefixes are copies of the template that wineprefix.py prepares once.
  if [ ! -f "$WINEPREFIX/.qt-ready" ]; then
    echo "wine_env_init: $WINEPREFIX is not a prepared prefix (copy the one 'wineprefix.py template' prints)" >&2
    return 1
  fi
  _wine_start_display
  # Drive lists hold only what a test mapped.
  rm -f "$WINEPREFIX/dosdevices/z:"
}

_wine_start_display() {
  if [ -n "${QT_WINE_DISPLAY:-}" ]; then
    export DISPLAY="$QT_WINE_DISPLAY"
    return
  fi
  if [ -n "${_QT_XVFB_PID:-}" ] && kill -0 "$_QT_XVFB_PID" 2>/dev/null; then return; fi
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  _QT_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  trap '_wine_cleanup' EXIT
}

_wine_cleanup() {
  wine_stop
  if [ -n "${_QT_XVFB_PID:-}" ]; then kill "$_QT_XVFB_PID" 2>/dev/null; wait "$_QT_XVFB_PID" 2>/dev/null; fi
}

wine_stop() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  return 0
}

wine_set_version() {
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d "$2" /f >/dev/null 2>&1
}

wine_map_drive() {
  local letter type target
  letter=$(echo "$1" | tr 'A-Z' 'a-z')
  target=$2
  type=$3
  rm -f "$WINEPREFIX/dosdevices/$letter:" "$WINEPREFIX/dosdevices/$letter::"
  if [ "$target" = "-" ]; then
    # A link that points nowhere is a drive with no medium.
    ln -s "/nonexistent/qt-no-medium-$letter" "$WINEPREFIX/dosdevices/$letter:"
  else
    ln -s "$(readlink -f "$target")" "$WINEPREFIX/dosdevices/$letter:"
  fi
  [ "$type" = "hd" ] && type=hd
  wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "$type" /f >/dev/null 2>&1
}

wine_unmap_drive() {
  local letter
  letter=$(echo "$1" | tr 'A-Z' 'a-z')
  rm -f "$WINEPREFIX/dosdevices/$letter:"
  wine reg delete 'HKLM\Software\Wine\Drives' /v "$letter:" /f >/dev/null 2>&1
  return 0
}

wine_reg_add() {
  wine reg add "$@" >/dev/null 2>&1
}

wine_run() {
  local secs=$1
  shift
  local rc
  # A fresh server per run: one left over can break message boxes, and drive
  # changes are only seen when the server starts.
  wine_stop
  timeout --kill-after=5 "$secs" "$@"
  rc=$?
  # Whatever the program left (a hung dialog, a child process) goes with the server.
  wine_stop
  return $rc
}
