#!/usr/bin/env bash
# rtspplay against recsim: a live channel plays with groups arriving every second and its
# --out file is a recorder file recast --info reads with the right picture and byte size;
# a recorded file fetched whole over TCP comes out byte for byte; a scripted road of pause,
# resume, seek and rate runs clean; media arrives over UDP too.
set -euo pipefail
bin=$1
dir=$(mktemp -d)
recsim_pid=
starts=0
cleanup() {
  if [ -n "$recsim_pid" ]; then
    kill "$recsim_pid" 2>/dev/null || true
    wait "$recsim_pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# start_recsim [OPTIONS...]: sets $port
start_recsim() {
  [ -n "$recsim_pid" ] && { kill "$recsim_pid"; wait "$recsim_pid" 2>/dev/null || true; }
  # Each start writes a file of its own: the redirection of a background job happens later,
  # so a reused file could still show the previous server's port.
  starts=$((starts + 1))
  local out="$dir/recsim.$starts.out"
  "$bin/recsim" --root "$dir/root" --port 0 "$@" >"$out" &
  recsim_pid=$!
  for _ in $(seq 50); do
    port=$(sed -n 's/^recsim listening on port \([0-9]*\)$/\1/p' "$out" 2>/dev/null || true)
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  fail "recsim did not start"
}

mkdir -p "$dir/root"
"$bin/recgen" --codec mpeg4 --size 352x288 --seconds 2 --group-frames 5 --audio 0x1001 \
  "$dir/root/rec.mp4" >/dev/null

start_recsim
"$bin/rtspplay" --do play,wait:2.2,stop --out "$dir/live.mp4" \
  "rtsp://127.0.0.1:$port/rec.mp4/av_stream" >"$dir/live.txt"
grep -q '^header: 40 bytes, 4MLQ, 352x288 PAL, video+audio' "$dir/live.txt" \
  || fail "no header line: $(cat "$dir/live.txt")"
grep -q '^total time: live$' "$dir/live.txt" || fail "no total time line"
grep -Eq '^ +[12] s +[1-9][0-9]* bytes/s +[1-9][0-9]* groups/s' "$dir/live.txt" \
  || fail "no groups arriving: $(cat "$dir/live.txt")"
info=$("$bin/recast" --info --json "$dir/live.mp4")
size=$(stat -c %s "$dir/live.mp4")
for fragment in '"width":352' '"height":288' "\"size\":$size"; do
  [[ "$info" == *"$fragment"* ]] || fail "'$fragment' not in $info"
done

start_recsim --fast
"$bin/rtspplay" --do play,wait:1,stop --out "$dir/whole.mp4" \
  "rtsp://127.0.0.1:$port/rec.mp4" >"$dir/whole.txt"
grep -q '^total time: 128 (2.00 s)$' "$dir/whole.txt" || fail "wrong total time"
cmp "$dir/root/rec.mp4" "$dir/whole.mp4" || fail "the fetched file differs"

start_recsim
"$bin/rtspplay" --do play,wait:0.5,pause,wait:0.3,resume,seek:1,rate:2,wait:0.5,stop \
  "rtsp://127.0.0.1:$port/rec.mp4" >"$dir/road.txt" || fail "road: $(cat "$dir/road.txt")"
for command in play pause resume seek rate stop; do
  grep -q "^$command: ok$" "$dir/road.txt" || fail "$command did not succeed"
done

"$bin/rtspplay" --udp --do play,wait:1.2,stop "rtsp://127.0.0.1:$port/rec.mp4" >"$dir/udp.txt" \
  || fail "udp: $(cat "$dir/udp.txt")"
grep -Eq '^ +1 s +[1-9][0-9]* bytes/s' "$dir/udp.txt" || fail "udp: nothing arrived"
if "$bin/rtspplay" --do play,jump "rtsp://127.0.0.1:$port/rec.mp4" 2>/dev/null; then
  fail "an unknown command was accepted"
fi
echo "rtspplay plays recsim's streams and writes files recast reads"
