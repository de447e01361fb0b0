#!/bin/sh
# Builds the fuzzers and runs one of them.
#   fuzz/run.sh [seconds (default 60)] [build folder (default /tmp/zavio-fuzz)] [fuzzer]
# The fuzzer is fuzz_loaders (the picture decoders, the default) or
# fuzz_metadata (the camera markers and the EXIF edit of a saved JPEG).
# Its corpus and any crash files stay in the build folder between runs.
set -eu

seconds=${1:-60}
build=${2:-/tmp/zavio-fuzz}
fuzzer=${3:-fuzz_loaders}
here=$(cd "$(dirname "$0")" && pwd)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

if [ "$fuzzer" = fuzz_loaders ]; then
    corpus="$build/corpus"
    artifacts="$build/artifacts"
else
    corpus="$build/corpus-$fuzzer"
    artifacts="$build/artifacts-$fuzzer"
fi
mkdir -p "$corpus" "$artifacts"
if [ -z "$(ls -A "$corpus")" ]; then
    "$build/make_seeds" "$corpus"
fi

log="$build/$fuzzer.log"
status=0
"$build/$fuzzer" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=1000000 -timeout=20 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$corpus" >"$log" 2>&1 || status=$?

tail -n 25 "$log"
runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' || true)
echo "executions: ${runs:-unknown (see $log)}"
echo "crash files: $(ls "$artifacts" | wc -l) in $artifacts"
exit "$status"
