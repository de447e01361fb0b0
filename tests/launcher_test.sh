#!/bin/sh
# Runs the installed launcher zavio-open (the first argument) with a stub in
# place of Zavio that records the folder it was started in and its argument
# count, on folders and pictures whose names have spaces, Japanese, a leading
# dash or a trailing newline.
set -eu
launcher=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

mkdir "$work/bin"
cp "$launcher" "$work/bin/zavio-open"
chmod +x "$work/bin/zavio-open"
cat > "$work/bin/zavio" <<STUB
#!/bin/sh
pwd -P > "$work/ran-in"
echo "\$#" >> "$work/ran-in"
STUB
chmod +x "$work/bin/zavio"

# check NAME EXPECTED-FOLDER START-FOLDER LAUNCHER [ARGUMENT]
check() {
  name=$1 expected=$2 start=$3 run=$4
  shift 4
  rm -f "$work/ran-in"
  (cd "$expected" && pwd -P && echo 0) > "$work/expected"
  if ! (cd "$start" && "$run" "$@") 2> "$work/stderr"; then
    echo "FAIL $name: the launcher failed: $(cat "$work/stderr")"
    failures=$((failures + 1))
  elif ! cmp -s "$work/expected" "$work/ran-in"; then
    echo "FAIL $name: started in $(cat "$work/ran-in" 2>/dev/null || echo nothing), wanted $(cat "$work/expected")"
    failures=$((failures + 1))
  fi
}

# refuse NAME STATUS [ARGUMENT...]: the launcher fails with STATUS and a
# message and does not start the program.
refuse() {
  name=$1 status=$2
  shift 2
  rm -f "$work/ran-in"
  set +e
  (cd "$work" && "$work/bin/zavio-open" "$@") 2> "$work/stderr"
  got=$?
  set -e
  if [ "$got" -ne "$status" ] || [ ! -s "$work/stderr" ] || [ -e "$work/ran-in" ]; then
    echo "FAIL $name: status $got (wanted $status), message '$(cat "$work/stderr")', program started: $([ -e "$work/ran-in" ] && echo yes || echo no)"
    failures=$((failures + 1))
  fi
}

photos="$work/写真 2024"
dashed="$work/-n 休日"
newline="$work/end
"
mkdir "$photos" "$dashed" "$newline" "$work/elsewhere" "$work/elsewhere/-n 休日"
: > "$photos/a b.jpg"
: > "$dashed/-x.jpg"
: > "$newline/pic.bmp"
open="$work/bin/zavio-open"

check "no argument keeps the caller's folder" "$photos" "$photos" "$open"
check "a folder with spaces and Japanese" "$photos" "$work" "$open" "$photos"
check "a folder with a trailing slash" "$photos" "$work" "$open" "$photos/"
check "a picture opens its folder" "$photos" "$work" "$open" "$photos/a b.jpg"
check "a bare picture name opens the caller's folder" "$photos" "$photos" "$open" "a b.jpg"
# CDPATH holds a folder of the same name, which cd must not pick.
CDPATH="$work/elsewhere" check "a relative folder with a leading dash" "$dashed" "$work" "$open" "-n 休日"
check "a bare picture name with a leading dash" "$dashed" "$dashed" "$open" "-x.jpg"
check "a relative picture in a dashed folder" "$dashed" "$work" "$open" "-n 休日/-x.jpg"
check "a folder whose name ends in a newline" "$newline" "$work" "$open" "$newline"
check "a picture in that folder" "$newline" "$work" "$open" "${newline}/pic.bmp"
check "the launcher called by a relative path" "$photos" "$work" "bin/zavio-open" "写真 2024"

refuse "a missing picture" 1 "$work/none.jpg"
refuse "an empty name" 2 ""
refuse "two names" 2 "$photos" "$dashed"

if [ "$failures" -ne 0 ]; then
  echo "$failures launcher case(s) failed"
  exit 1
fi
echo "all launcher cases passed"
