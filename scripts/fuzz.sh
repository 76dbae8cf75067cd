#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz, runs every input
# of fuzz/regressions once, then fuzzes each target for FUZZ_SECONDS
# (default 60). A crash, a time-out or a leak fails with the input shown.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWORDLOOM_FUZZ=ON -DWORDLOOM_BENCHMARKS=OFF >/dev/null
cmake --build $build -j2 --target fuzz-packreader fuzz-keytextcodec

# The pack target saves every input that loads; memory is quicker than disk.
work=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo /tmp )/wordloom-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# Prints the inputs libFuzzer kept for a failure, as path and hex dump.
show_artifacts() {
  for input in "$1"/*; do
    [ -f "$input" ] || continue
    echo "== failing input: $input ($(stat -c %s "$input") bytes)"
    od -A x -t x1z -v "$input" | head -n 64
  done
}

status=0
# Each regression input runs on its own, so every failing one is named.
for input in fuzz/regressions/*; do
  [ -f "$input" ] || continue
  if ! $build/bin/fuzz-packreader -timeout=1 "$input" >$build/regression.log 2>&1; then
    grep -E '^(packreader:|==[0-9]+==ERROR|SUMMARY)' $build/regression.log || tail -n 20 $build/regression.log
    echo "== failing regression input: $input" >&2
    status=1
  fi
done
# One target for the given time; prints what it found.
fuzz_target() {
  local target=$1 corpus=$build/corpus/$1 artifacts=$build/artifacts/$1 dict=()
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  [ "$target" = packreader ] && dict=(-dict=fuzz/packformat.dict)
  if ! $build/bin/fuzz-$target "$corpus" fuzz/corpus/$target "${dict[@]}" \
      -max_total_time="$seconds" -timeout=1 -max_len=65536 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" >$build/$target.log 2>&1; then
    echo "== fuzz-$target failed"
    grep -v '^#[0-9]' $build/$target.log | tail -n 60
    show_artifacts "$artifacts"
    return 1
  fi
  echo "== fuzz-$target for ${seconds}s"
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|^Done' $build/$target.log || true
}

# The targets fuzz side by side, one core each; their reports follow in turn.
pids=()
for target in packreader keytextcodec; do
  fuzz_target $target >$build/$target.report 2>&1 &
  pids+=($!)
done
i=0
for target in packreader keytextcodec; do
  wait "${pids[$i]}" || status=1
  cat $build/$target.report
  i=$((i + 1))
done
exit $status
