#!/usr/bin/env bash
# Encodes the same raw pictures to WMV (WMV2, CBR 1 Mbit/s, 704x576, 25 fps) with the ASF
# writer and with the ffmpeg command line, three times each, and prints the best CPU times
# and their ratio (ffmpeg / ours: 1.0 is equal speed, above 1 is faster than ffmpeg).
# Usage: bench/wmvencode/compare.sh [build dir] [frames]
set -euo pipefail
build=${1:-build}
frames=${2:-500}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ffmpeg -v error -f lavfi -i "testsrc2=s=704x576:r=25" -frames:v "$frames" -pix_fmt yuv420p \
  -f rawvideo "$work/in.yuv"

best() {  # best user+system seconds of three runs of the command
  local best=""
  for _ in 1 2 3; do
    local t
    /usr/bin/time -o "$work/time" -f "%U %S" "$@" >/dev/null 2>&1
    t=$(awk '{print $1 + $2}' "$work/time")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
  done
  echo "$best"
}

ours=$(best "$build/bin/wmvencode" "$work/in.yuv" "$work/ours.wmv" 704 576 25 1000000)
theirs=$(best ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 704x576 -r 25 -i "$work/in.yuv" \
  -c:v wmv2 -b:v 1000k "$work/ffmpeg.wmv")
echo "frames: $frames"
echo "ASF writer CPU s: $ours   size: $(stat -c %s "$work/ours.wmv")"
echo "ffmpeg     CPU s: $theirs   size: $(stat -c %s "$work/ffmpeg.wmv")"
awk "BEGIN{printf \"speed ratio (ffmpeg / ours): %.2f\n\", $theirs / $ours}"
