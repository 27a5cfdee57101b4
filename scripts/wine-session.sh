# A private Wine session for tests and the main job: a fresh WINEPREFIX in a
# temporary directory, an Xvfb display, a persistent wineserver with Wine's own
# service processes already started. Sourced by scripts/test.sh,
# scripts/main-job.sh and tests/e2e/lib.sh; not run on its own.
#
#   WineSessionStart [always|when-needed]   Xvfb always, or only without $DISPLAY
#   WineSessionReset                        end every process of the prefix, keep the prefix
#   WineSessionStop                         end everything and delete the prefix
#
# The caller installs the trap that calls WineSessionStop (on EXIT, INT, TERM),
# so that nothing is left running after a failure, a hang or Ctrl-C.

TARN_WINE=${TARN_WINE:-/usr/lib/wine/wine64}
TARN_WINESERVER=${TARN_WINESERVER:-/usr/lib/wine/wineserver64}
WineSessionPrefix=
WineSessionXvfbPid=

WineSessionLog() { printf 'wine-session: %s\n' "$*" >&2; }

# Starts Xvfb on a free display number and exports DISPLAY. Numbers 100-199
# keep clear of the displays people pick by hand.
WineSessionStartXvfb() {
  local Try Number Waited
  for Try in $(seq 1 20); do
    Number=$((100 + RANDOM % 100))
    [ -e "/tmp/.X$Number-lock" ] || [ -e "/tmp/.X11-unix/X$Number" ] && continue
    Xvfb ":$Number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WineSessionXvfbPid=$!
    for Waited in $(seq 1 50); do
      if xdpyinfo -display ":$Number" >/dev/null 2>&1; then
        export DISPLAY=":$Number"
        WineSessionLog "Xvfb on $DISPLAY (pid $WineSessionXvfbPid)"
        return 0
      fi
      kill -0 "$WineSessionXvfbPid" 2>/dev/null || break
      sleep 0.1
    done
    # Lost the number to someone else, or Xvfb would not start: next number.
    kill "$WineSessionXvfbPid" 2>/dev/null
    wait "$WineSessionXvfbPid" 2>/dev/null
    WineSessionXvfbPid=
  done
  WineSessionLog "could not start Xvfb"
  return 1
}

# The wineserver keeps running between test processes (-p), else each one
# pays seconds to start it again. Wine's service processes start with the
# first program and inherit its std streams: a throwaway program with all
# three on /dev/null takes that, so later programs' pipes close when they end.
WineSessionServe() {
  "$TARN_WINESERVER" -p
  "$TARN_WINE" cmd /c exit </dev/null >/dev/null 2>&1
}

WineSessionStart() {
  local XvfbMode=${1:-always}
  if [ "$XvfbMode" = always ] || [ -z "${DISPLAY:-}" ]; then
    WineSessionStartXvfb || return 1
  fi
  export WINEDEBUG=-all
  # No Mono or Gecko installers: nothing here needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  # A prefix has once failed to come up for no lasting reason: one more try
  # in a new directory, with what wineboot said kept for the log.
  # (Into a file: Wine's service processes inherit the output, and a pipe
  # would stay open as long as they run.)
  local Try BootLog
  BootLog=$(mktemp /tmp/tarn-wineboot.XXXXXX)
  for Try in 1 2; do
    WineSessionPrefix=$(mktemp -d /tmp/tarn-wine.XXXXXX)
    export WINEPREFIX=$WineSessionPrefix
    WineSessionLog "prefix $WINEPREFIX: creating"
    timeout 300 "$TARN_WINE" wineboot -i </dev/null >"$BootLog" 2>&1 &&
      timeout 120 "$TARN_WINESERVER" -w && break
    WineSessionLog "wineboot -i failed (exit code $?): $(tail -n 5 "$BootLog")"
    timeout 30 "$TARN_WINESERVER" -k 2>/dev/null
    timeout 60 "$TARN_WINESERVER" -w 2>/dev/null
    rm -rf "$WineSessionPrefix"
    WineSessionPrefix=
    [ "$Try" = 2 ] && { rm -f "$BootLog"; return 1; }
  done
  rm -f "$BootLog"
  WineSessionServe
  export TARN_WINE_SESSION=1
  WineSessionLog "prefix ready"
}

WineSessionReset() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  timeout 30 "$TARN_WINESERVER" -k 2>/dev/null
  timeout 60 "$TARN_WINESERVER" -w 2>/dev/null
  WineSessionServe
}

WineSessionStop() {
  # A Ctrl-C also ends a "| tee" reading our output: a log line must not
  # kill the cleanup with SIGPIPE half-way.
  trap '' PIPE
  if [ -n "$WineSessionPrefix" ]; then
    timeout 30 "$TARN_WINESERVER" -k 2>/dev/null
    timeout 60 "$TARN_WINESERVER" -w 2>/dev/null
    rm -rf "$WineSessionPrefix"
    WineSessionLog "prefix $WineSessionPrefix removed"
    WineSessionPrefix=
    unset TARN_WINE_SESSION
  fi
  if [ -n "$WineSessionXvfbPid" ]; then
    kill "$WineSessionXvfbPid" 2>/dev/null
    wait "$WineSessionXvfbPid" 2>/dev/null
    WineSessionLog "Xvfb stopped"
    WineSessionXvfbPid=
  fi
  return 0
}
