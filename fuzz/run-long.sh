#!/usr/bin/env bash
# Builds the archive reader's fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it on the committed seed corpus.
#
# Usage: fuzz/run-long.sh [SECONDS] [BUILD_DIR]
#   SECONDS    how long to fuzz (default 3600; CI runs it with 60)
#   BUILD_DIR  where to build (default build/fuzz)
# New inputs go to a temporary directory, printed at the end; copy the ones
# worth keeping into fuzz/archive/corpus. A crash leaves its input in the
# current directory (crash-*) and makes the script fail.
set -euo pipefail
Root=$(cd "$(dirname "$0")/.." && pwd)
Seconds=${1:-3600}
Build=${2:-$Root/build/fuzz}
Jobs=${JOBS:-2}

CC=clang CXX=clang++ cmake -S "$Root" -B "$Build" -G Ninja -DTARN_FUZZ=ON -DTARN_BUILD_TESTS=OFF >/dev/null
cmake --build "$Build" --target tarn_fuzz_archive -j "$Jobs"

Found=$(mktemp -d)
echo "fuzzing for $Seconds s; new inputs in $Found"
"$Build/fuzz/fuzz_archive" -max_total_time="$Seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 "$Found" "$Root/fuzz/archive/corpus"
echo "new inputs: $(ls "$Found" | wc -l) in $Found"
