#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Runs libFuzzer targets one after another (never in parallel) and prints
# their final figures: executions, CPU seconds, exec/s, edges, features.
# Usage: fuzz/run_fuzzers.sh [SECONDS_PER_TARGET] [TARGET...]
#   QFUZZ_RUNS=N     stop each target after N executions instead of a time
#   QFUZZ_WORK=DIR   keep the working corpora and logs in DIR (default: a
#                    scratch directory removed at exit), so a later run
#                    continues where this one stopped
#   QFUZZ_RSS_MB=N   libFuzzer's -rss_limit_mb (default 2048)
#   QFUZZ_MAX_LEN=N  longest input (default 9000 for host targets, 4096 else)
#   QFUZZ_NO_BUILD=1 use the existing build/fuzz
# Builds the `fuzz` preset (clang, ASan+UBSan). Each target starts from its
# seed corpus (fuzz/corpus/TARGET) plus the bundled samples of its format;
# the repository's corpus is never written. Crashes are kept in
# fuzz/findings/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
if [ -z "${QFUZZ_NO_BUILD:-}" ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz >/dev/null
fi
if [ -n "${QFUZZ_WORK:-}" ]; then
  work=$QFUZZ_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d /tmp/quillar-fuzz-XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p fuzz/findings
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build/fuzz/fuzz/*_fuzz; do targets+=("$(basename "${exe%_fuzz}")"); done
fi
if [ -n "${QFUZZ_RUNS:-}" ]; then limit=(-runs="$QFUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
status=0
printf '%-14s %12s %8s %8s %7s %8s\n' target executions cpu_s exec/s edges features
for t in "${targets[@]}"; do
  corpus="$work/$t"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/" 2>/dev/null || true
  case "$t" in  # the bundled samples seed the host-call targets
    host_5) seeds="samples/*.rcv samples/*.wmv" ;;
    host_7) seeds="samples/*.rm" ;;
    host_8) seeds="samples/*.avi" ;;
    host_9) seeds="samples/*.vp6 samples/*.flv" ;;
    host_10) seeds="samples/*.ivf samples/*.webp" ;;
    *) seeds="" ;;
  esac
  for f in $seeds; do [ -f "$f" ] && cp "$f" "$corpus/"; done
  case "$t" in  # host targets: just over one 8192-byte read block
    host_*) max_len=${QFUZZ_MAX_LEN:-9000} ;;
    *) max_len=${QFUZZ_MAX_LEN:-4096} ;;
  esac
  log="$work/$t.log"
  if ! /usr/bin/time -f '%U %S' -o "$work/$t.time" "build/fuzz/fuzz/${t}_fuzz" "$corpus" \
      -dict=fuzz/quillar.dict "${limit[@]}" -max_len="$max_len" \
      -print_final_stats=1 -timeout=10 -rss_limit_mb="${QFUZZ_RSS_MB:-2048}" \
      -artifact_prefix="fuzz/findings/${t}-" >"$log" 2>&1; then
    echo "$t: FAILED (see fuzz/findings/)"; tail -n 40 "$log"; status=1; continue
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
  cpu=$(awk '{printf "%d", $1 + $2}' "$work/$t.time")
  printf '%-14s %12s %8s %8s %7s %8s\n' "$t" "$execs" "$cpu" "$rate" "$cov" "$ft"
done
exit $status
