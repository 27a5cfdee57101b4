# A private Wine session for tests and the main job: a fresh WINEPREFIX in a
# temporary directory, an Xvfb display, a persistent wineserver with Wine's own
# service processes already started, windows that appear and go at once.
# Sourced by scripts/test.sh, scripts/main-job.sh and tests/e2e/lib.sh; not
# run on its own.
#
#   WineSessionBegin [always|when-needed]   start Xvfb (always, or only without
#                                           $DISPLAY) and the prefix's creation
#                                           in the background
#   WineSessionStart [always|when-needed]   finish what WineSessionBegin began
#                                           (or do it all): the session is ready
#   WineSessionReset                        end every process of the prefix, keep the prefix
#   WineSessionStop                         end everything and delete the prefix
#
# A ready session exports WINEPREFIX, DISPLAY, TARN_WINE_SESSION=1 and
# TARN_WINE32=yes when it runs 32-bit programs; otherwise TARN_WINE32=no and
# TARN_WINE32_WHY says why. TARN_WINE32=no set beforehand pretends that it
# cannot (to try the x86_64 fallback on a machine that can).
#
# The caller installs the trap that calls WineSessionStop (on EXIT, INT, TERM),
# so that nothing is left running after a failure, a hang or Ctrl-C.

TARN_WINE=${TARN_WINE:-/usr/lib/wine/wine64}
TARN_WINESERVER=${TARN_WINESERVER:-/usr/lib/wine/wineserver64}
# An idle program that keeps Wine's desktop process up (see HoldDesktop in
# tests/driver/TarnDriver.cpp); the session does without it when it is not built.
TARN_DESKTOP_HOLDER=${TARN_DESKTOP_HOLDER:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win64/tests/tarn-driver.exe}
WineSessionPrefix=
WineSessionXvfbPid=
WineSessionBootPid=
WineSessionBootLog=
WineSessionHolderPid=

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

# Creates a fresh prefix in the background (wineboot, then the wait for its
# server to end). The output goes to a file: Wine's service processes inherit
# it, and a pipe would stay open as long as they run.
WineSessionBootInBackground() {
  WineSessionPrefix=$(mktemp -d /tmp/tarn-wine.XXXXXX)
  export WINEPREFIX=$WineSessionPrefix
  WineSessionLog "prefix $WINEPREFIX: creating"
  { timeout 300 "$TARN_WINE" wineboot -i && timeout 120 "$TARN_WINESERVER" -w; } \
    </dev/null >"$WineSessionBootLog" 2>&1 &
  WineSessionBootPid=$!
}

# The wineserver keeps running between test processes (-p), else each one
# pays seconds to start it again. Wine's service processes start with the
# first program and inherit its std streams: a throwaway program with all
# three on /dev/null takes that, so later programs' pipes close when they end.
WineSessionServe() {
  "$TARN_WINESERVER" -p
  "$TARN_WINE" cmd /c exit </dev/null >/dev/null 2>&1
}

# The same for Wine's desktop process, which would otherwise end and start
# again around every program that shows a window: an idle program holds it.
WineSessionHoldDesktop() {
  WineSessionHolderPid=
  if [ -f "$TARN_DESKTOP_HOLDER" ]; then
    "$TARN_WINE" "$TARN_DESKTOP_HOLDER" --hold-desktop </dev/null >/dev/null 2>&1 &
    WineSessionHolderPid=$!
  fi
}

# Settings of the prefix, made once it is up and before the programs that
# read them start (the desktop process among them):
#  - unmanaged windows: with no window manager on the display, Wine waits
#    about a second for every managed window it hides or shows (a one-file
#    setup took 8.4 s to its last page, 0.4-0.9 s unmanaged).
WineSessionSettings() {
  "$TARN_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
}

# Whether this prefix runs 32-bit programs: the machine must run i386 code and
# 32-bit Wine must be installed; then wineboot has filled syswow64, and its
# cmd.exe runs. Sets TARN_WINE32 and TARN_WINE32_WHY.
WineSessionProbe32() {
  TARN_WINE32_WHY=
  if [ "${TARN_WINE32:-}" = no ]; then
    TARN_WINE32_WHY="hidden by TARN_WINE32=no"
  elif [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/cmd.exe" ]; then
    TARN_WINE32_WHY="the prefix has no 32-bit system: 32-bit Wine is not installed, or the machine runs no 32-bit code"
  elif ! timeout $((60 * ${TARN_TIME_SCALE:-1})) "$TARN_WINE" 'C:\windows\syswow64\cmd.exe' /c exit 0 </dev/null >/dev/null 2>&1; then
    TARN_WINE32_WHY="the prefix's 32-bit cmd.exe does not run"
  fi
  if [ -z "$TARN_WINE32_WHY" ]; then TARN_WINE32=yes; else TARN_WINE32=no; fi
  export TARN_WINE32 TARN_WINE32_WHY
}

WineSessionBegin() {
  local XvfbMode=${1:-always}
  [ -z "$WineSessionBootPid" ] || return 0
  if [ "$XvfbMode" = always ] || [ -z "${DISPLAY:-}" ]; then
    WineSessionStartXvfb || return 1
  fi
  export WINEDEBUG=-all
  # No Mono or Gecko installers: nothing here needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  WineSessionBootLog=$(mktemp /tmp/tarn-wineboot.XXXXXX)
  WineSessionBootInBackground
}

WineSessionStart() {
  WineSessionBegin "$@" || return 1
  # A prefix has once failed to come up for no lasting reason: one more try
  # in a new directory, with what wineboot said kept for the log.
  local Try
  for Try in 1 2; do
    wait "$WineSessionBootPid" && break
    WineSessionLog "creating the prefix failed (exit code $?): $(tail -n 5 "$WineSessionBootLog")"
    timeout 30 "$TARN_WINESERVER" -k 2>/dev/null
    timeout 60 "$TARN_WINESERVER" -w 2>/dev/null
    rm -rf "$WineSessionPrefix"
    WineSessionPrefix=
    WineSessionBootPid=
    if [ "$Try" = 2 ]; then
      rm -f "$WineSessionBootLog"
      return 1
    fi
    WineSessionBootInBackground
  done
  WineSessionBootPid=
  rm -f "$WineSessionBootLog"
  WineSessionServe
  WineSessionSettings
  WineSessionHoldDesktop
  WineSessionProbe32
  export TARN_WINE_SESSION=1
  WineSessionLog "prefix ready; 32-bit programs: $TARN_WINE32${TARN_WINE32_WHY:+ ($TARN_WINE32_WHY)}"
}

# Ends the session's programs and waits for them; the prefix stays.
WineSessionEndPrograms() {
  timeout 30 "$TARN_WINESERVER" -k 2>/dev/null
  timeout 60 "$TARN_WINESERVER" -w 2>/dev/null
  if [ -n "$WineSessionHolderPid" ]; then
    wait "$WineSessionHolderPid" 2>/dev/null
    WineSessionHolderPid=
  fi
}

WineSessionReset() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  WineSessionEndPrograms
  WineSessionServe
  WineSessionHoldDesktop
}

WineSessionStop() {
  # A Ctrl-C also ends a "| tee" reading our output: a log line must not
  # kill the cleanup with SIGPIPE half-way.
  trap '' PIPE
  if [ -n "$WineSessionPrefix" ]; then
    WineSessionEndPrograms
    if [ -n "$WineSessionBootPid" ]; then
      kill "$WineSessionBootPid" 2>/dev/null
      wait "$WineSessionBootPid" 2>/dev/null
      WineSessionBootPid=
    fi
    rm -rf "$WineSessionPrefix"
    rm -f "$WineSessionBootLog"
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
