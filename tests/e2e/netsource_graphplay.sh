#!/usr/bin/env bash
# graphplay on the network source's five schemes, served by recsim: after registering the
# build's modules in a private registry, RenderFile finds the source by URL scheme and each of
# ntrt://, ntfl:// (by name and by time span), Real://, svrt:// and svfl:// renders video and
# audio; an ntfl:// playback sought to 50 % reports the seek; pause and run play on.
set -euo pipefail
bin=$1
top=$2
dir=$(mktemp -d)
recsim_pid=
cleanup() {
  if [ -n "$recsim_pid" ]; then
    kill "$recsim_pid" 2>/dev/null || true
    wait "$recsim_pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Sanitizer trees build only the test executables: nothing to play with there.
[ -x "$bin/graphplay" ] && [ -x "$bin/regsvr" ] || { echo "graphplay not built"; exit 77; }

export RECAST_REGISTRY="$dir/registry.db"
# The span below is recorder calendar time; the filter and recsim read it in the same zone.
export TZ=UTC
"$top/scripts/register" "$(dirname "$bin")" >/dev/null

mkdir -p "$dir/root"
"$bin/recgen" --codec mpeg4 --size 352x288 --seconds 10 --group-frames 5 --audio 0x1011 \
  "$dir/root/ch1.mp4" >/dev/null
"$bin/recgen" --codec h264 --size 176x144 --seconds 10 --group-frames 5 --audio 0x7110 \
  "$dir/root/sub1.mp4" >/dev/null
span=20080801120000_20080801123000
"$bin/recsim" --root "$dir/root" --port 0 --recorder-port 0 --legacy --legacy-port 0 \
  --user admin:12345 --channel "1=$dir/root/ch1.mp4" --substream "1=$dir/root/sub1.mp4" \
  --span "1:$span=$dir/root/ch1.mp4" >"$dir/recsim.out" &
recsim_pid=$!
for _ in $(seq 100); do
  grep -q '^recsim listening on port' "$dir/recsim.out" 2>/dev/null && break
  sleep 0.1
done
port_of() { sed -n "s/^recsim $1 port \([0-9]*\)$/\1/p" "$dir/recsim.out"; }
rtsp=$(port_of "listening on")
recorder=$(port_of recorder)
export QRLCLIENT_PORTS=$(port_of legacy)
[ -n "$rtsp" ] && [ -n "$recorder" ] && [ -n "$QRLCLIENT_PORTS" ] || fail "recsim did not start"

# play URL [OPTIONS...]: graphplay's report must show video and audio samples.
play() {
  local url=$1
  shift
  local out="$dir/play.txt"
  "$bin/graphplay" --seconds 4 "$@" "$url" >"$out" 2>&1 || fail "$url: $(cat "$out")"
  grep -q '{013D71DF-AB43-41A6-976C-3B82E38D8CD0}' "$out" || fail "$url: no network source"
  grep -Eq '^Renderer "Video Renderer": [1-9][0-9]* samples' "$out" \
    || fail "$url: no video: $(cat "$out")"
  grep -Eq '^Renderer "Audio Renderer": [1-9][0-9]* samples' "$out" \
    || fail "$url: no audio: $(cat "$out")"
}

device="127.0.0.1/1/$recorder/admin/12345"
for url in "ntrt://$device" "ntrt://$device/1" "ntfl://$device/ch1.mp4" "ntfl://$device/$span" \
  "Real://127.0.0.1/1/0" "svrt://127.0.0.1:$rtsp/ch1.mp4" "svfl://127.0.0.1:$rtsp/ch1.mp4"; do
  play "$url"
done

play "ntfl://$device/ch1.mp4" --seek 50
grep -q '^Seek to 5.000 s of 10.000 s: done$' "$dir/play.txt" || fail "seek: $(cat "$dir/play.txt")"
play "svfl://127.0.0.1:$rtsp/ch1.mp4" --seek 50
grep -q '^Seek to 5.000 s of 10.000 s: done$' "$dir/play.txt" || fail "seek: $(cat "$dir/play.txt")"
# Schemes match without case: REAL:// finds the key registered as "Real".
for url in "ntrt://$device" "REAL://127.0.0.1/1/0" "svrt://127.0.0.1:$rtsp/ch1.mp4"; do
  play "$url" --pause-run
done
for bad in "--seek 101" "--seek x" "--seek"; do
  # shellcheck disable=SC2086
  if "$bin/graphplay" $bad "svfl://127.0.0.1:$rtsp/ch1.mp4" >/dev/null 2>&1; then
    fail "graphplay accepted $bad"
  fi
done
echo "graphplay plays all five schemes from recsim"
