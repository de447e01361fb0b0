#!/bin/sh
# Builds the fuzzers and runs them one after the other, the picture loaders
# for half the time and the comment file for the other half.
#   fuzz/run.sh [seconds (default 60)] [build folder (default /tmp/zavio-fuzz)]
# The corpora and any crash files stay in the build folder between runs.
set -eu

seconds=${1:-60}
build=${2:-/tmp/zavio-fuzz}
here=$(cd "$(dirname "$0")" && pwd)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

artifacts="$build/artifacts"
mkdir -p "$build/corpus" "$build/corpus-comments" "$artifacts"
if [ -z "$(ls -A "$build/corpus")" ]; then
    "$build/make_seeds" "$build/corpus"
fi
# Comment seeds: flags, key length, key, text length, text, then the file.
if [ -z "$(ls -A "$build/corpus-comments")" ]; then
    printf '\003\005a.jpg\012a.jpg\r\nnew\r\nb.jpg\r\nb\016a.jpg\r\nold\016a.jpg\016' >"$build/corpus-comments/replace"
    printf '\002\006\202\240.jpg\000x.jpg.jpg\016\202\240.jpg\rcr\016c\000d\016\202\240.jpg\r\nopen end' \
        >"$build/corpus-comments/delete"
    printf '\002\005z.jpg\007z.jpg\r\n\201\200.bmp\r\n\377\200\016' >"$build/corpus-comments/append"
fi

status=0
# Runs one fuzzer on its corpus for the given seconds and reports its figures.
run() {
    name=$1 corpus=$2 time=$3
    shift 3
    log="$build/$name.log"
    "$build/$name" -max_total_time="$time" -rss_limit_mb=2048 -timeout=20 \
        -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$@" \
        "$corpus" >"$log" 2>&1 || status=$?
    tail -n 25 "$log"
    runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' || true)
    echo "$name executions: ${runs:-unknown (see $log)}"
}

half=$(( (seconds + 1) / 2 ))
run fuzz_loaders "$build/corpus" "$half" -max_len=1000000
run fuzz_comments "$build/corpus-comments" "$(( seconds - half > 0 ? seconds - half : 1 ))" -max_len=65536
echo "crash files: $(ls "$artifacts" | wc -l) in $artifacts"
exit "$status"
