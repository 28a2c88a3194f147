#!/usr/bin/env bash
# Frame stepping through the graph manager on recorder files, as a player's step button does:
# graphplay pauses a playing file and steps it frame by frame. A file with sound steps as one
# without: the paused audio renderer must not hold the source's thread, and with it the frames.
set -euo pipefail
bin=$1
top=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Some sanitizer trees build only test executables: nothing to play with there.
lib=$(dirname "$bin")/lib
for need in "$bin/graphplay" "$bin/regsvr" "$bin/recgen" "$lib/libRecorderFilters.so" \
  "$lib/libRecastSysFilters.so" "$lib/libRecastFfdshow.so" "$lib/libWmSink.so" \
  "$lib/libQrlNetSplitter.so" "$lib/libQrlNetSource.so"; do
  [ -e "$need" ] || { echo "$(basename "$need") not built"; exit 77; }
done

export RECAST_REGISTRY="$dir/registry.db"
"$top/scripts/register" "$(dirname "$bin")" >/dev/null

steps=5
for audio in "" 0x1011 0x7110; do
  name="clip${audio:+_$audio}.mp4"
  "$bin/recgen" --codec h264 --size 352x288 --seconds 10 ${audio:+--audio "$audio"} \
    "$dir/$name" >/dev/null
  out="$dir/play.txt"
  "$bin/graphplay" --seconds 3 --step "$steps" "$dir/$name" >"$out" 2>&1 \
    || fail "$name: $(cat "$out")"
  grep -q "^Stepped $steps of $steps frames$" "$out" || fail "$name: $(cat "$out")"
  # Playback goes on after the steps.
  grep -Eq '^Renderer "Video Renderer": [1-9][0-9]* samples' "$out" || fail "$name: $(cat "$out")"
done
echo "stepping works with and without sound"
