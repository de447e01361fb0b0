#!/bin/sh
# Builds the fuzzers and runs each of them in turn: the loaders, then the
# rotation (loading a picture for rotation and turning it).
#   fuzz/run.sh [seconds per fuzzer (default 60)] [build folder (default /tmp/zavio-fuzz)]
# The corpora and any crash files stay in the build folder between runs.
set -eu

seconds=${1:-60}
build=${2:-/tmp/zavio-fuzz}
here=$(cd "$(dirname "$0")" && pwd)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

artifacts="$build/artifacts"
mkdir -p "$artifacts"
status=0
for fuzzer in fuzz_loaders fuzz_rotation; do
    # The loaders keep the corpus folder of earlier runs.
    if [ "$fuzzer" = fuzz_loaders ]; then corpus="$build/corpus"; else corpus="$build/corpus-$fuzzer"; fi
    mkdir -p "$corpus"
    if [ -z "$(ls -A "$corpus")" ]; then
        "$build/make_seeds" "$corpus"
    fi
    log="$build/$fuzzer.log"
    "$build/$fuzzer" \
        -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=1000000 -timeout=20 \
        -artifact_prefix="$artifacts/$fuzzer-" -print_final_stats=1 \
        "$corpus" >"$log" 2>&1 || status=$?

    echo "== $fuzzer"
    tail -n 25 "$log"
    runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' || true)
    echo "$fuzzer executions: ${runs:-unknown (see $log)}"
done
echo "crash files: $(ls "$artifacts" | wc -l) in $artifacts"
exit "$status"
