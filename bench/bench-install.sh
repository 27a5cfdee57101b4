#!/usr/bin/env bash
# bench-install.sh [RUNS]
#
# Installation benchmark: the same payloads made into a Tarn setup (tarnpack)
# and into silent installers of Debian's nsis (makensis: zlib, and solid
# lzma; only for the comparison, installed when missing), each installed
# under Wine in one run, RUNS rounds (default 3) taken in turn so that the
# load of a shared machine falls on all alike. Prints the median wall-clock
# times and CPU times (the installer's process and the prefix's wineserver,
# which does the file system work for it: far steadier than the wall clock
# on a busy machine), and the ratios of the goals:
#   518-file corpus (../shared/bench/make-corpus.sh full): Tarn <= 1.0 x nsis zlib
#   5,000 small files in 50 folders (1.3 MB):            Tarn <= 1.5 x nsis zlib
#   50,000 small files in 500 folders:                    Tarn <= 12 x Tarn's 5,000
# The Tarn setups run twice: with the progress window and the closing box
# (the goals above), and silently (/S), like for like with the peer's.
# Each installation is checked against its payload once.
#
# The setups run without pages (empty PreInstallDialogSequence,
# ShowMainWindow=0, the installation log on); tarn-driver (looking every
# 20 ms) presses OK on "Installation complete", and a setup's time runs
# from its start to its end. Before each run the file system is synced:
# the files of the run before (5,000 of them, as many deleted) would
# otherwise go to the disk during this one. 32-bit installers (the i686 stub, nsis
# x86-unicode) where Wine runs 32-bit programs, else 64-bit ones (the x86_64
# stub, nsis amd64-unicode). Windows are unmanaged in the benchmark's
# prefix: without a window manager Wine waits about a second for every
# window it hides.
#
# Environment: BENCH_CORPUS=DIR uses an existing corpus; BENCH_PAYLOADS
# names the payloads to run (default "corpus518 small5k small50k"); TARN_WINE32=no
# takes the 64-bit installers also where 32-bit ones would run.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-3}
TARNPACK=$ROOT/build/host/src/pack/tarnpack
DRIVER=$ROOT/build/win64/tests/tarn-driver.exe

# ---- tools ------------------------------------------------------------------
if ! command -v makensis >/dev/null; then
  echo "installing Debian's nsis (only for the comparison) ..." >&2
  ok=
  for try in 1 2 3; do
    apt-get update -q >&2 && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends nsis >&2 && { ok=1; break; }
    sleep $((try * 20))
  done
  [ -n "$ok" ] || { echo "cannot install nsis" >&2; exit 1; }
fi
echo "building ..." >&2
bash "$ROOT/scripts/build.sh" host win32 win64 >&2

WORK=$(mktemp -d)
# shellcheck source=../scripts/wine-session.sh
source "$ROOT/scripts/wine-session.sh"
Cleanup() {
  WineSessionStop
  rm -rf "$WORK"
}
trap Cleanup EXIT
trap 'exit 130' INT TERM

# ---- payloads -----------------------------------------------------------------
# SmallFiles DIR FOLDERS: FOLDERS folders of 100 text files of 180 to 339
# bytes (about 260 on average), the same bytes on every run.
SmallFiles() {
  local Dir=$1 Folders=$2
  mkdir -p "$Dir"
  awk -v Dir="$Dir" -v Folders="$Folders" 'BEGIN {
    for (f = 0; f < Folders; f++) {
      folder = sprintf("%s/Folder%03d", Dir, f)
      system("mkdir -p " folder)
      for (i = 0; i < 100; i++) {
        name = sprintf("File%04d.txt", i)
        seed = (f * 100 + i) * 2654435761 % 4294967296
        size = 180 + seed % 160
        text = ""
        for (line = 0; length(text) < size; line++) {
          seed = (seed * 1103515245 + 12345) % 2147483648
          text = text sprintf("line %d of %s in folder %d: %08x\n", line, name, f, seed)
        }
        out = folder "/" name
        printf "%s", substr(text, 1, size) > out
        close(out)
      }
    }
  }'
}

# Payload NAME DIR: the payload's files are in $WORK/NAME/Data.
echo "making the payloads ..." >&2
Corpus=${BENCH_CORPUS:-}
if [ -z "$Corpus" ]; then
  Corpus=$WORK/corpus
  bash "$ROOT/../shared/bench/make-corpus.sh" "$Corpus" full >&2
fi
mkdir -p "$WORK/corpus518"
cp -a "$Corpus" "$WORK/corpus518/Data"
# The setup installs only names with a ".": the few corpus files without one
# get ".dat", for both installers.
find "$WORK/corpus518/Data" -type f ! -name '*.*' -exec mv {} {}.dat \;
SmallFiles "$WORK/small5k/Data" 50
SmallFiles "$WORK/small50k/Data" 500

# ---- installers ---------------------------------------------------------------
# The Tarn project of a payload: every file into %InstallPath%, one group per
# top folder, the log on (without an uninstaller: the nsis installers have none).
TarnProject() {
  local Name=$1 Dir=$WORK/$1
  mkdir -p "$Dir/Presetup"
  printf '[Config]\r\nDefaultInstallPath=C:\\TarnBench\\%s\r\nInsFiles=Files\r\nPreInstallDialogSequence=\r\nPostInstallDialogSequence=\r\nUninstall=1\r\nLogFile=%%InstallPath%%\\install.log\r\nUninstallProgram=\r\n[Display]\r\nShowMainWindow=0\r\n' \
    "$Name" >"$Dir/Presetup/Tarn.ini"
  (cd "$Dir/Data" && find . -type f | sed 's|^\./||' | sort) | awk '
    { top = index($0, "/") ? substr($0, 1, index($0, "/") - 1) : ""; files[top] = files[top] $0 "\n" }
    END {
      printf "[CopyFile]\r\n"
      n = 0
      for (top in files) group[++n] = top
      for (i = 1; i <= n; i++) printf "Group%d=%%InstallPath%%\r\n", i
      for (i = 1; i <= n; i++) {
        printf "[Group%d]\r\n", i
        count = split(files[group[i]], lines, "\n")
        for (j = 1; j < count; j++) { gsub("/", "\\", lines[j]); printf "%s=\r\n", lines[j] }
      }
    }' >"$Dir/Presetup/Files.ins"
}

# NsisScript NAME KIND TARGET: a silent installer of the same payload, KIND
# zlib or lzma (solid).
NsisScript() {
  local Name=$1 Kind=$2 Target=$3 Compressor="/FINAL zlib"
  [ "$Kind" = lzma ] && Compressor="/SOLID /FINAL lzma"
  cat >"$WORK/$Name-$Kind.nsi" <<NSI
Unicode true
Target $Target
SetCompressor $Compressor
Name "Bench"
OutFile "$WORK/$Name-nsis-$Kind.exe"
InstallDir "C:\\NsisBench\\$Name-$Kind"
SilentInstall silent
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /r "$WORK/$Name/Data/*"
SectionEnd
NSI
  makensis -V1 "$WORK/$Name-$Kind.nsi" >&2
}

echo "starting Wine ..." >&2
WineSessionStart always >&2 || { echo "no Wine session" >&2; exit 1; }
"$TARN_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
if [ -z "${TARN_WINE32:-}" ]; then
  TARN_WINE32=no
  [ -f "$WINEPREFIX/drive_c/windows/syswow64/cmd.exe" ] &&
    timeout 60 "$TARN_WINE" 'C:\windows\syswow64\cmd.exe' /c exit 0 </dev/null >/dev/null 2>&1 && TARN_WINE32=yes
fi
if [ "$TARN_WINE32" = yes ]; then
  Bits=32; Stub=$ROOT/build/win32/src/setup/tarn-setup.exe; NsisTarget=x86-unicode
else
  Bits=64; Stub=$ROOT/build/win64/src/setup/tarn-setup.exe; NsisTarget=amd64-unicode
fi
Drive=$WINEPREFIX/drive_c

echo "building the installers ($Bits-bit) ..." >&2
# BENCH_PAYLOADS narrows the run, e.g. "corpus518 small5k".
read -r -a Payloads <<<"${BENCH_PAYLOADS:-corpus518 small5k small50k}"
for Name in "${Payloads[@]}"; do
  TarnProject "$Name"
  "$TARNPACK" build "$WORK/$Name" -o "$WORK/$Name-tarn.exe" --stub "$Stub" >"$WORK/$Name-tarn.log" 2>&1 ||
    { cat "$WORK/$Name-tarn.log" >&2; exit 1; }
done
for Name in "${Payloads[@]}"; do
  [ "$Name" = small50k ] && continue
  NsisScript "$Name" zlib "$NsisTarget"
  NsisScript "$Name" lzma "$NsisTarget"
done

# ---- running ------------------------------------------------------------------
printf 'wait-window "Installation complete" 900000\npress 104\nwait-gone\n' >"$WORK/finish.script"
WinPath() { printf 'Z:%s' "${1//\//\\}"; }

# The CPU time (in clock ticks) the prefix's wineserver has used so far.
ServerTicks() {
  local Pid
  for Pid in $(pgrep -f wineserver64); do
    if tr '\0' '\n' <"/proc/$Pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      awk '{ print $14 + $15 }' "/proc/$Pid/stat"
      return
    fi
  done
  echo 0
}
Tick=$(getconf CLK_TCK)

# TargetOf KIND NAME: the folder an installer of KIND installs NAME into; one
# of its own for each, so that no run lands where another has just been.
TargetOf() {
  case "$1" in
    tarn) echo "$Drive/TarnBench/$2" ;; # the setup's default folder
    silent) echo "$Drive/TarnBench/$2-silent" ;;
    *) echo "$Drive/NsisBench/$2-$1" ;;
  esac
}

# RunOne KIND NAME: installs one setup into a fresh folder; prints its wall
# clock seconds and its CPU seconds (process and wineserver).
RunOne() {
  local Kind=$1 Name=$2 Target Start End Pid ServerBefore ServerAfter
  Target=$(TargetOf "$Kind" "$Name")
  rm -rf "$Target"
  sync
  ServerBefore=$(ServerTicks)
  Start=$(date +%s.%N)
  if [ "$Kind" = tarn ]; then
    /usr/bin/time -f '%U %S' -o "$WORK/cpu.time" "$TARN_WINE" "$WORK/$Name-tarn.exe" </dev/null >/dev/null 2>&1 &
    Pid=$!
    # Looking for the closing box costs the wineserver about a millisecond
    # per second of the run at this interval (it asks one caption per
    # window); a longer one would add half of it to the setup's time.
    "$TARN_WINE" "$DRIVER" --timeout 900000 --poll 20 "$(WinPath "$WORK/finish.script")" </dev/null >"$WORK/driver.log" 2>&1 ||
      { cat "$WORK/driver.log" >&2; echo "the Tarn setup of $Name did not finish" >&2; exit 1; }
    wait "$Pid"
  elif [ "$Kind" = silent ]; then
    /usr/bin/time -f '%U %S' -o "$WORK/cpu.time" "$TARN_WINE" "$WORK/$Name-tarn.exe" /S "/D=C:\\TarnBench\\$Name-silent" </dev/null >/dev/null 2>&1 ||
      { echo "the silent Tarn setup of $Name failed" >&2; exit 1; }
  else
    /usr/bin/time -f '%U %S' -o "$WORK/cpu.time" "$TARN_WINE" "$WORK/$Name-nsis-$Kind.exe" </dev/null >/dev/null 2>&1
  fi
  End=$(date +%s.%N)
  ServerAfter=$(ServerTicks)
  awk -v w="$(echo "$End - $Start" | bc)" -v s="$((ServerAfter - ServerBefore))" -v t="$Tick" \
    '{ printf "%.3f %.3f\n", w, $1 + $2 + s / t }' "$WORK/cpu.time"
}

# CheckInstalled KIND NAME: the installed files are the payload's.
CheckInstalled() {
  local Kind=$1 Name=$2 Target
  Target=$(TargetOf "$Kind" "$Name")
  (cd "$WORK/$Name/Data" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$WORK/want.sum"
  (cd "$Target" && sha256sum --quiet -c "$WORK/want.sum") >&2 ||
    { echo "$Kind installed $Name wrongly" >&2; exit 1; }
}

# A first start of a new prefix is slow: one untimed round on the first payload.
RunOne tarn "${Payloads[0]}" >/dev/null
[ "${Payloads[0]}" = small50k ] || RunOne zlib "${Payloads[0]}" >/dev/null

declare -A Times Cpus
for Run in $(seq 1 "$RUNS"); do
  for Name in "${Payloads[@]}"; do
    # The order turns with each round: a run is measurably slower right after
    # another has written and removed thousands of files, so no installer
    # keeps the same place in every round.
    Kinds=(tarn silent zlib lzma)
    Shift=$(((Run - 1) % ${#Kinds[@]}))
    for Kind in "${Kinds[@]:Shift}" "${Kinds[@]:0:Shift}"; do
      [ "$Name" = small50k ] && [ "$Kind" != tarn ] && continue
      Result=$(RunOne "$Kind" "$Name")
      read -r Seconds Cpu <<<"$Result"
      [ "$Run" = 1 ] && CheckInstalled "$Kind" "$Name"
      Times[$Name-$Kind]="${Times[$Name-$Kind]:-} $Seconds"
      Cpus[$Name-$Kind]="${Cpus[$Name-$Kind]:-} $Cpu"
      printf 'run %d: %-9s %-4s %6.2f s, cpu %6.2f s\n' "$Run" "$Name" "$Kind" "$Seconds" "$Cpu" >&2
    done
  done
done

Median() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# ---- report -------------------------------------------------------------------
echo
echo "Installations under Wine, $Bits-bit, median of $RUNS. Wall clock on a machine whose load is shared"
echo "by all; cpu = the installer's process and the prefix's wineserver."
printf '%-10s %6s %6s | %-22s %-22s %-22s %-22s | %s\n' payload files MB "Tarn: wall / cpu s" "Tarn /S: wall / cpu" "nsis zlib: wall / cpu" "nsis lzma: wall / cpu" "Tarn/zlib: wall / cpu"
declare -A Wall Cpu
for Name in "${Payloads[@]}"; do
  for Kind in tarn silent zlib lzma; do
    [ -n "${Times[$Name-$Kind]:-}" ] || continue
    Wall[$Name-$Kind]=$(Median "${Times[$Name-$Kind]}")
    Cpu[$Name-$Kind]=$(Median "${Cpus[$Name-$Kind]}")
  done
  Files=$(find "$WORK/$Name/Data" -type f | wc -l)
  Bytes=$(find "$WORK/$Name/Data" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
  awk -v n="$Name" -v f="$Files" -v b="$Bytes" \
      -v tw="${Wall[$Name-tarn]}" -v tc="${Cpu[$Name-tarn]}" \
      -v sw="${Wall[$Name-silent]:-}" -v sc="${Cpu[$Name-silent]:-}" \
      -v zw="${Wall[$Name-zlib]:-}" -v zc="${Cpu[$Name-zlib]:-}" \
      -v lw="${Wall[$Name-lzma]:-}" -v lc="${Cpu[$Name-lzma]:-}" 'BEGIN {
    pair = "%6.2f / %6.2f"
    printf "%-10s %6d %6.1f | %-22s %-22s %-22s %-22s | %s\n", n, f, b / 1e6, sprintf(pair, tw, tc),
      sw == "" ? "-" : sprintf(pair, sw, sc), zw == "" ? "-" : sprintf(pair, zw, zc), lw == "" ? "-" : sprintf(pair, lw, lc),
      zw == "" ? "-" : sprintf("%5.2f / %5.2f", tw / zw, tc / zc) }'
done
echo
Verdict() {
  awk -v w="$1" -v a="$2" -v b="$3" -v g="$4" 'BEGIN {
    printf "%-38s wall %5.2f, cpu %5.2f (goal <= %s): %s\n", w, a, b, g, a <= g ? "met" : (b <= g ? "met in cpu time" : "NOT MET") }'
}
Ratio() { echo "$1 / $2" | bc -l; }
# A goal is judged only when its payloads were run (BENCH_PAYLOADS).
Judge() { # TITLE GOAL A B: A's time over B's
  [ -n "${Wall[$3]:-}" ] && [ -n "${Wall[$4]:-}" ] || return 0
  Verdict "$1" "$(Ratio "${Wall[$3]}" "${Wall[$4]}")" "$(Ratio "${Cpu[$3]}" "${Cpu[$4]}")" "$2"
}
Judge "corpus: Tarn / nsis zlib" 1.0 corpus518-tarn corpus518-zlib
Judge "5,000 small files: Tarn / nsis zlib" 1.5 small5k-tarn small5k-zlib
Judge "50,000 / 5,000 small files, Tarn" 12 small50k-tarn small5k-tarn
# Like for like: the peer's installers are silent, so is Tarn's with /S.
Judge "corpus: Tarn /S / nsis zlib" 1.0 corpus518-silent corpus518-zlib
Judge "5,000 small files: Tarn /S / nsis zlib" 1.5 small5k-silent small5k-zlib
