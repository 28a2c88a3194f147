#!/usr/bin/env bash
# recast --info --json must report what recgen wrote, for old and new headers, PAL and NTSC,
# with and without audio.
set -euo pipefail
bin=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

check() {  # check NAME EXPECTED-JSON-FRAGMENT... -- RECGEN-ARGS...
  local name=$1; shift
  local expected=()
  while [ "$1" != "--" ]; do expected+=("$1"); shift; done
  shift
  "$bin/recgen" --seconds 1 "$@" "$dir/$name" >/dev/null
  local line
  line=$("$bin/recast" --info --json "$dir/$name")
  for fragment in "${expected[@]}"; do
    if [[ "$line" != *"$fragment"* ]]; then
      echo "FAIL $name: '$fragment' not in $line" >&2
      exit 1
    fi
  done
  local size
  size=$(stat -c %s "$dir/$name")
  [[ "$line" == *"\"size\":$size"* ]] || { echo "FAIL $name: size $size not in $line" >&2; exit 1; }
}

check cif.mp4 '"width":352' '"height":288' '"frame_rate":25' '"standard":"PAL"' '"audio":2' \
  '"narrow_ntsc":false' "\"output\":\"$dir/cif.mp4_OUTPUT.WMV\"" \
  -- --codec h264 --size 352x288 --fps 25 --audio 0x1011
check d1.264 '"width":704' '"height":576' \
  -- --codec mpeg4 --size 704x576 --fps 25
check qcif.qrl '"width":176' '"height":120' '"standard":"NTSC"' '"frame_rate":30' \
  '"narrow_ntsc":true' -- --codec mpeg4sh --size 176x120 --fps 30 --ntsc --audio 0x7110
check old.mp4 '"width":352' '"height":240' '"standard":"NTSC"' \
  -- --codec h264 --size 352x240 --ntsc --old-header --audio 0x1001
echo "recast --info agrees with recgen"
