# Shared set-up for the shell scripts that run Wine (bench/wine_timer.sh). Source
# it, then call wine_env_init once per run.
#
#   wine_user_init             learns the user Wine runs as (wineprefix.py:
#                              "qtwine" when started as root, else the caller);
#                              wine_env_init calls it too
#   wine_work_folder LABEL     prints a fresh temporary folder that user owns
#   wine_give PATH...          hands folders and what is below them to the user
#   wine_env_init DIR          use the prepared 32-bit prefix in DIR
#   wine_run SECS CMD...       runs CMD as the Wine user under Xvfb-backed Wine
#                              with a deadline; returns CMD's exit code, 124 on
#                              time-out, and leaves no Wine process behind
#   wine_stop                  ends every process of the prefix
#
# Everything runs headless: a private Xvfb display, the Wine user's own, is
# started on first use unless QT_WINE_DISPLAY names a display to use instead
# (that user must be allowed on it, e.g. xhost +SI:localuser:qtwine).

_QT_WINE_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
_QT_WINE_AS=()
_QT_WINE_OWNER=""

wine_user_init() {
  [ -z "$_QT_WINE_OWNER" ] || return 0
  local name home
  name=$(python3 "$_QT_WINE_HERE/wineprefix.py" user) || return 1
  _QT_WINE_OWNER="$(id -u "$name"):$(id -g "$name")"
  _QT_WINE_AS=()
  [ "$(id -u "$name")" = "$(id -u)" ] && return 0
  home=$(getent passwd "$name" | cut -d: -f6)
  # As wineprefix.as_user: the user's own home, none of the caller's folders.
  _QT_WINE_AS=(setpriv "--reuid=$(id -u "$name")" "--regid=$(id -g "$name")" --init-groups
    env -u XDG_RUNTIME_DIR -u XDG_CACHE_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u TMPDIR
    "HOME=$home" "USER=$name" "LOGNAME=$name")
}

wine_give() {
  [ ${#_QT_WINE_AS[@]} -eq 0 ] || chown -R "$_QT_WINE_OWNER" "$@"
}

wine_work_folder() {
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/qt-wine-$1-XXXXXX") || return 1
  chmod 755 "$dir"
  wine_give "$dir"
  echo "$dir"
}

wine_env_init() {
  wine_user_init || return 1
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
  # The display belongs to the Wine user, as a user's own session does.
  if [ "$(id -u)" = 0 ] && [ ! -d /tmp/.X11-unix ]; then mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; fi
  "${_QT_WINE_AS[@]}" Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
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
  "${_QT_WINE_AS[@]}" wineserver -k >/dev/null 2>&1
  "${_QT_WINE_AS[@]}" wineserver -w >/dev/null 2>&1
  return 0
}

wine_run() {
  local secs=$1
  shift
  local rc
  # A fresh server per run: one left over can break message boxes, and drive
  # changes are only seen when the server starts.
  wine_stop
  # What the runner laid out in the prefix becomes the Wine user's.
  wine_give "$WINEPREFIX"
  timeout --kill-after=5 "$secs" "${_QT_WINE_AS[@]}" "$@"
  rc=$?
  # Whatever the program left (a hung dialog, a child process) goes with the server.
  wine_stop
  return $rc
}
