#!/usr/bin/env bash
# gst-play-1.0, as a desktop user would run it, on a recgen recording under a virtual X server:
# it must show the video to the end without an error.
# Usage: play_under_xvfb.sh RECGEN PLUGIN_DIR WORK_DIR
set -euo pipefail
recgen=$1 plugins=$2 work=$3
mkdir -p "$work"
"$recgen" --audio 0x1001 --seconds 2 "$work/ch01.mp4" >/dev/null
export GST_PLUGIN_PATH="$plugins" GST_REGISTRY="$work/registry.bin"
# No sound device on a test machine: the audio goes to a fake sink, the video to the X server.
out=$(timeout 120 xvfb-run -a gst-play-1.0 --no-interactive --audiosink=fakesink \
  --videosink=ximagesink "$work/ch01.mp4" 2>&1) || { echo "$out"; exit 1; }
echo "$out"
if grep -q "^ERROR" <<<"$out"; then exit 1; fi
grep -q "Reached end of play list" <<<"$out"
