#!/usr/bin/env bash
# gst-play-1.0, as a desktop user would run it, on an svrt:// URL that recsim serves as a live
# stream, under a virtual X server. A live stream plays until the user stops it: after a few
# seconds the player is interrupted, and by then it must have shown pictures without an error.
# Usage: play_url_under_xvfb.sh RECGEN RECSIM PLUGIN_DIR WORK_DIR
set -euo pipefail
recgen=$1 recsim=$2 plugins=$3 work=$4
mkdir -p "$work"
rm -f "$work/recsim.out"
"$recgen" --audio 0x7110 --seconds 2 --group-frames 5 "$work/ch1.mp4" >/dev/null
"$recsim" --root "$work" --port 0 >"$work/recsim.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
port=
for _ in $(seq 300); do
  port=$(sed -n 's/^recsim listening on port \([0-9]*\)$/\1/p' "$work/recsim.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "recsim did not start:"; cat "$work/recsim.out"; exit 1; }

export GST_PLUGIN_PATH="$plugins" GST_REGISTRY="$work/registry.bin"
# No sound device on a test machine: the audio goes to a fake sink, the video to the X server.
status=0
out=$(timeout -s INT 10 xvfb-run -a gst-play-1.0 --no-interactive --audiosink=fakesink \
  --videosink=ximagesink "svrt://127.0.0.1:$port/ch1.mp4/av_stream" 2>&1) || status=$?
out=$(tr '\r' '\n' <<<"$out")
tail -n 5 <<<"$out"
# 124: the time-out stopped the player, as a user stops a live stream.
if [ "$status" -ne 0 ] && [ "$status" -ne 124 ]; then exit 1; fi
if grep -q "^ERROR" <<<"$out"; then exit 1; fi
# A live stream's position moves with the pictures shown: at least 3 s of them.
grep -Eq '^0:00:0[3-9]' <<<"$out"
