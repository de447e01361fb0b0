#!/bin/sh
# Builds the fuzz targets and runs each of them in turn for the given seconds:
# the picture loaders, loading and turning a picture for rotation, the camera
# data a saved JPEG carries, the comment file.
#   fuzz/run.sh [seconds per fuzzer (default 60)] [build folder (default /tmp/zavio-fuzz)] [fuzzer...]
# With fuzzers named, only those run. The corpora and any crash files stay in
# the build folder between runs.
set -eu

seconds=${1:-60}
build=${2:-/tmp/zavio-fuzz}
[ $# -ge 2 ] && shift 2 || shift $#
here=$(cd "$(dirname "$0")" && pwd)
fuzzers=${*:-$(sed -n 's/^set(FUZZERS \(.*\))$/\1/p' "$here/CMakeLists.txt")}

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

artifacts="$build/artifacts"
mkdir -p "$artifacts"
status=0
for fuzzer in $fuzzers; do
    corpus="$build/corpus-$fuzzer"
    mkdir -p "$corpus"
    if [ -n "$(ls -A "$corpus")" ]; then
        :
    elif [ "$fuzzer" = fuzz_comments ]; then
        # Comment seeds: flags, key length, key, text length, text, then the file.
        printf '\003\005a.jpg\012a.jpg\r\nnew\r\nb.jpg\r\nb\016a.jpg\r\nold\016a.jpg\016' >"$corpus/replace"
        printf '\002\006\202\240.jpg\000x.jpg.jpg\016\202\240.jpg\rcr\016c\000d\016\202\240.jpg\r\nopen end' \
            >"$corpus/delete"
        printf '\002\005z.jpg\007z.jpg\r\n\201\200.bmp\r\n\377\200\016' >"$corpus/append"
    else
        "$build/make_seeds" "$corpus"
    fi
    log="$build/$fuzzer.log"
    "$build/$fuzzer" \
        -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=1000000 -timeout=20 \
        -artifact_prefix="$artifacts/$fuzzer-" -print_final_stats=1 \
        "$corpus" >"$log" 2>&1 || status=$?

    echo "== $fuzzer"
    tail -n 8 "$log"
    runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' || true)
    echo "$fuzzer executions: ${runs:-unknown (see $log)}"
done
echo "crash files: $(ls "$artifacts" | wc -l) in $artifacts"
exit "$status"
