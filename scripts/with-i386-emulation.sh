#!/usr/bin/env bash
# Runs a command in which i386 Linux programs (32-bit Wine) run under qemu's
# user-mode emulation, for machines whose kernel runs no 32-bit code: the
# i686 setup can then be tested there too, slowly (a 32-bit Windows program
# takes about a minute to start). The emulation is registered in a private
# binfmt_misc instance of a new user namespace, so nothing else on the
# machine sees it. Needs root (for the package) and a kernel with sandboxed
# binfmt_misc mounts (Linux 6.7 or later).
# Usage: scripts/with-i386-emulation.sh COMMAND [ARGS...]
#   e.g. TARN_TIME_SCALE=10 scripts/with-i386-emulation.sh bash scripts/test.sh
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
if [ ! -x /usr/bin/qemu-i386-static ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends qemu-user-static
fi
# The magic and mask of an i386 ELF executable; F: qemu is opened now, so the
# handler works inside any later mount namespace.
Rule=':tarn-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
Rule+=':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
Rule+=':/usr/bin/qemu-i386-static:F'
exec unshare --user --map-root-user --mount bash -c '
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
  printf "%s" "$0" >/proc/sys/fs/binfmt_misc/register &&
  shift && exec "$@"' "$Rule" _ "$@"
