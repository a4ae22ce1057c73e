#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for a bounded time
# from its committed seed corpus. A crash, a leak, a time-out or running out
# of memory fails the script; the input that did it is kept under
# tests/fuzz/regressions/<target>/, where the replay test picks it up.
#
#   scripts/fuzz.sh                      # every target, 21 s each (qvhost's inputs: 5 s)
#   OVRA_FUZZ_SECONDS=600 scripts/fuzz.sh dsp
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${OVRA_FUZZ_SECONDS:-21}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dsp gui factory patch description set exports report)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
stats=build/fuzz/fuzz-runs.txt
failed=0
for t in "${targets[@]}"; do
  work=build/fuzz/corpus/$t          # what this machine learnt; not kept in the tree
  kept=tests/fuzz/regressions/$t
  mkdir -p "$work" "$kept"
  log=build/fuzz/fuzz_$t.log
  budget=$seconds
  case $t in patch|description|set|exports|report) budget=${OVRA_FUZZ_SECONDS:-5} ;; esac
  echo "== fuzz $t (${budget}s)"
  if build/fuzz/tests/fuzz/fuzz_$t -max_total_time="$budget" -timeout=20 -rss_limit_mb=2560 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$kept/" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$(date -u +%FT%TZ) $t ${budget}s ${runs:-?} runs ok" | tee -a "$stats"
  else
    failed=1
    tail -n 60 "$log"
    echo "$(date -u +%FT%TZ) $t ${budget}s FAILED, input kept in $kept/" | tee -a "$stats"
  fi
done
exit $failed
