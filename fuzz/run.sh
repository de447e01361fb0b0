#!/bin/sh
# Builds the loader fuzzer and runs it.
#   fuzz/run.sh [seconds (default 60)] [build folder (default /tmp/zavio-fuzz)]
# The corpus and any crash files stay in the build folder between runs.
set -eu

seconds=${1:-60}
build=${2:-/tmp/zavio-fuzz}
here=$(cd "$(dirname "$0")" && pwd)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

corpus="$build/corpus"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
if [ -z "$(ls -A "$corpus")" ]; then
    "$build/make_seeds" "$corpus"
fi

log="$build/fuzz.log"
status=0
"$build/fuzz_loaders" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=1000000 -timeout=20 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$corpus" >"$log" 2>&1 || status=$?

tail -n 25 "$log"
runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' || true)
echo "executions: ${runs:-unknown (see $log)}"
echo "crash files: $(ls "$artifacts" | wc -l) in $artifacts"
exit "$status"
