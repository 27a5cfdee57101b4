#!/usr/bin/env bash
# The decisions of scripts/deps.sh, in its dry run: 32-bit Wine is wanted
# exactly where the machine runs 32-bit code, and where it does not the
# script says so in one line and goes on; TARN_WINE32 takes both branches on
# any machine. Where 32-bit Wine is installed, its own loader tells whether
# 32-bit code runs, and the script's probe must agree with it. Run by ctest
# on the host build, after scripts/test.sh has installed the packages.
set -u
Root=$(cd "$(dirname "$0")/../.." && pwd)
Failures=0

Fail() {
  echo "FAIL $*"
  Failures=$((Failures + 1))
}

# Plan [VAR=VALUE...]: the dry run's output with that environment.
Plan() {
  env -u TARN_WINE32 TARN_DEPS_DRY_RUN=1 "$@" bash "$Root/scripts/deps.sh" 2>&1
}
CountWithout() { grep -c 'going on without 32-bit Wine' <<<"$1"; }

Out=$(Plan TARN_WINE32=no)
[ "$(CountWithout "$Out")" = 1 ] || Fail "TARN_WINE32=no: not one line saying so: $Out"
grep -q '^deps: plan: 32-bit Wine no;' <<<"$Out" || Fail "TARN_WINE32=no: 32-bit Wine still planned: $Out"
grep -q 'wine32' <<<"$(grep '^deps: plan:' <<<"$Out")" && Fail "TARN_WINE32=no: wine32 among the packages: $Out"

Out=$(Plan TARN_WINE32=yes)
[ "$(CountWithout "$Out")" = 0 ] || Fail "TARN_WINE32=yes: says it goes on without: $Out"
grep -q '^deps: plan: 32-bit Wine yes;' <<<"$Out" || Fail "TARN_WINE32=yes: 32-bit Wine not planned: $Out"

# The probe, on this machine.
Out=$(Plan)
case "$Out" in
  *"plan: 32-bit Wine yes;"*) Probe=yes; [ "$(CountWithout "$Out")" = 0 ] || Fail "probe yes, yet it says it goes on without: $Out" ;;
  *"plan: 32-bit Wine no;"*) Probe=no; [ "$(CountWithout "$Out")" = 1 ] || Fail "probe no, without one line saying so: $Out" ;;
  *) Probe=; Fail "no plan: $Out" ;;
esac
if [ -x /usr/lib/wine/wine ] && [ -n "$Probe" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then Loader=yes; else Loader=no; fi
  [ "$Probe" = "$Loader" ] || Fail "the probe says $Probe, but the 32-bit Wine loader runs: $Loader"
fi

# After scripts/deps.sh everything is installed: a package reported missing
# here means the check itself is wrong (as it was for libraries installed for
# two architectures).
grep -q 'install nothing$' <<<"$Out" || Fail "packages reported missing right after scripts/deps.sh: $Out"

[ "$Failures" = 0 ] && echo "ok: 32-bit decisions (this machine: ${Probe:-?}), installed packages"
[ "$Failures" = 0 ]
