#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for a bounded time
# from its committed seed corpus. A crash, a leak, a time-out or running out
# of memory fails the script; the input that did it is kept under
# tests/fuzz/regressions/<target>/, where the replay test picks it up.
#
#   scripts/fuzz.sh                      # every target, 21 s each (qvhost's inputs: 5 s)
#   OVRA_FUZZ_SECONDS=600 scripts/fuzz.sh dsp
#   scripts/fuzz.sh --campaign SECONDS CORES [target...]
#
# The campaign runs each target for OVRA_FUZZ_RUNS executions (ten million
# unless set) or SECONDS, whichever comes first, CORES of them at a time, writes
# the coverage at the start and the end of each, its executions and seconds
# to build/fuzz/campaign.txt, then merges what each grew into its seed corpus
# (-merge=1), so that the bounded run starts from there.
set -euo pipefail
cd "$(dirname "$0")/.."
campaign=0
if [ "${1:-}" = --campaign ]; then
  campaign=1; campaign_seconds=$2; cores=$3; shift 3
fi
seconds=${OVRA_FUZZ_SECONDS:-21}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dsp gui factory patch description set exports report)

if [ "${OVRA_FUZZ_NO_BUILD:-0}" != 1 ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$(nproc)"
fi

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
stats=build/fuzz/fuzz-runs.txt
failed=0

if [ $campaign = 1 ]; then
  [ ${#targets[@]} -eq 0 ] && targets=(dsp gui factory patch description set exports report)
  table=build/fuzz/campaign.txt
  campaign_one() {
    local t=$1 log=build/fuzz/campaign_$1.log
    mkdir -p "build/fuzz/corpus/$t" "tests/fuzz/regressions/$t"
    local start=$SECONDS rc=0
    build/fuzz/tests/fuzz/fuzz_$t -runs="${OVRA_FUZZ_RUNS:-10000000}" -max_total_time="$campaign_seconds" -timeout=20 -rss_limit_mb=2560 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="tests/fuzz/regressions/$t/" "build/fuzz/corpus/$t" "tests/fuzz/corpus/$t" \
      >"$log" 2>&1 || rc=$?
    local first last runs
    first=$(grep -m1 -o 'INITED cov: [0-9]* ft: [0-9]*' "$log" | sed 's/INITED //')
    last=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    printf '%s %-12s %6ss %12s runs  start %-22s end %-22s %s\n' "$(date -u +%FT%TZ)" "$t" "$((SECONDS - start))" \
      "${runs:-?}" "${first:-?}" "${last:-?}" "$([ $rc = 0 ] && echo ok || echo "FAILED, input kept")" >>"$table"
    return $rc
  }
  pids=(); names=()
  for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do sleep 1; done
    campaign_one "$t" & pids+=($!); names+=("$t")
  done
  for i in "${!pids[@]}"; do wait "${pids[$i]}" || failed=1; done
  for t in "${names[@]}"; do
    # Only inputs that add coverage to the seeds join them.
    build/fuzz/tests/fuzz/fuzz_$t -merge=1 -timeout=20 -rss_limit_mb=2560 -max_len=4096 "tests/fuzz/corpus/$t" \
      "build/fuzz/corpus/$t" >"build/fuzz/merge_$t.log" 2>&1 || failed=1
  done
  cat "$table"
  exit $failed
fi
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
