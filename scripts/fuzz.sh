#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (build/fuzz) and runs each for a bounded
# time.
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]
#
# SECONDS per target: default 60, or $PARVON_FUZZ_SECONDS. Without TARGET every target runs. Each
# starts from its seeds in tests/fuzz/corpus/TARGET and keeps the inputs it finds in
# build/fuzz/corpus/TARGET, so that later runs go on from there; the seeds stay as they are. An
# input that crashes, leaks, hangs or fails a check is kept in build/fuzz/artifacts/TARGET and
# makes the script fail. The summary (also in build/fuzz/summary.txt) gives each target's
# executions; the whole output of a target is in build/fuzz/TARGET.log.
set -euo pipefail
cd "$(dirname "$0")/.."
Seconds=${1:-${PARVON_FUZZ_SECONDS:-60}}
[ $# -gt 0 ] && shift
scripts/install-deps.sh
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DPARVON_FUZZ=ON >/dev/null
cmake --build build/fuzz --target parvon_fuzz

Targets=("$@")
if [ ${#Targets[@]} -eq 0 ]; then
  for Seeds in tests/fuzz/corpus/*/; do Targets+=("$(basename "$Seeds")"); done
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
Summary=build/fuzz/summary.txt
printf '%-18s %12s %10s  %s\n' target executions "per second" result | tee "$Summary"
Failed=0
for Target in "${Targets[@]}"; do
  Program=build/fuzz/tests/fuzz/$Target
  [ -x "$Program" ] || { echo "fuzz: no target $Target" >&2; exit 2; }
  mkdir -p "build/fuzz/corpus/$Target" "build/fuzz/artifacts/$Target"
  Log=build/fuzz/$Target.log
  Result="nothing found"
  Extra=()
  # The store keeps caches from one input to the next, so that nearly every input would be run
  # again for a leak check; leaks are looked for once, at the exit, instead.
  [ "$Target" = fuzz_ldif ] && Extra=(-detect_leaks=0)
  if ! "$Program" "${Extra[@]}" -max_total_time="$Seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$Target/" "build/fuzz/corpus/$Target" \
    "tests/fuzz/corpus/$Target" >"$Log" 2>&1; then
    Result="FOUND: $(grep -m1 -E 'ERROR|==[0-9]+==|deadly signal|Test unit written' "$Log" || echo "see $Log")"
    Failed=1
  fi
  Runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$Log" | tail -n 1)
  Time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$Log" | tail -n 1)
  Runs=${Runs:-0}
  Time=${Time:-$Seconds}
  Rate=$((Runs / (Time > 0 ? Time : 1)))
  printf '%-18s %12s %10s  %s\n' "$Target" "$Runs" "$Rate" "$Result" | tee -a "$Summary"
done
exit "$Failed"
