#!/usr/bin/env bash
# Runs every libFuzzer target for a while and prints its final figures.
# Usage: fuzz/run_fuzzers.sh [SECONDS_PER_TARGET] [TARGET...]
# Builds the `fuzz` preset (clang, ASan+UBSan). Each target starts from a copy
# of its seed corpus in a scratch directory, so a run never grows the
# repository; crashes are kept in fuzz/findings/ and make the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
work=$(mktemp -d /tmp/quillar-fuzz-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz/findings
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build/fuzz/fuzz/*_fuzz; do targets+=("$(basename "${exe%_fuzz}")"); done
fi
status=0
printf '%-14s %12s %10s %8s %8s\n' target executions exec/s edges features
for t in "${targets[@]}"; do
  corpus="$work/$t"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/" 2>/dev/null || true
  case "$t" in  # the bundled samples seed the host-call targets
    host_5) seeds="samples/*.rcv samples/*.wmv" ;;
    host_7) seeds="samples/*.rm" ;;
    host_8) seeds="samples/*.avi" ;;
    host_9) seeds="samples/*.vp6" ;;
    host_10) seeds="samples/*.ivf samples/*.webp" ;;
    *) seeds="" ;;
  esac
  for f in $seeds; do [ -f "$f" ] && cp "$f" "$corpus/"; done
  log="$work/$t.log"
  if ! "build/fuzz/fuzz/${t}_fuzz" "$corpus" -dict=fuzz/quillar.dict -max_total_time="$seconds" \
      -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="fuzz/findings/${t}-" \
      >"$log" 2>&1; then
    echo "$t: FAILED (see fuzz/findings/)"; tail -n 30 "$log"; status=1; continue
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || echo 0)
  printf '%-14s %12s %10s %8s %8s\n' "$t" "$execs" "$rate" "$cov" "$ft"
done
exit $status
