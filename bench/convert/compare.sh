#!/usr/bin/env bash
# Converts two recorder files with recast --batch, to WMV and to AVI, and has the ffmpeg
# command line do the same work on the same elementary streams (decode the video, encode it at
# the same size and bit rate, and the sound beside it); prints frames per second for both and
# their ratio (ffmpeg's time / ours: above 1.0 is faster than ffmpeg), by wall-clock time and by
# CPU time (user + system; the machine may be shared, which stretches wall time for both).
#   CIF:  120 s MPEG-4 352x288 with G.726 audio
#   4CIF:  60 s H.264 704x576 with G.711 audio
# Usage: bench/convert/compare.sh [build dir]   (the build's modules are registered in a
# private registry for the run)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
bin="$build/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export RECAST_REGISTRY="$work/registry.db"
"$top/scripts/register" "$build" >/dev/null

kbps=1000

times_of() {  # "WALL CPU" seconds of the command; fails when the command fails
  /usr/bin/time -o "$work/time" -f "%e %U %S" "$@" >/dev/null 2>&1
  awk '{print $1, $2 + $3}' "$work/time"
}

frames_in() {  # video frames ffprobe counts in a file
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$1"
}

report() {  # report LABEL FRAMES "OURS_WALL OURS_CPU" "FFMPEG_WALL FFMPEG_CPU" OUTPUT
  local written
  written=$(frames_in "$5")
  [ "$written" = "$2" ] || { echo "$1: recast wrote $written of $2 frames" >&2; exit 1; }
  awk -v label="$1" -v frames="$2" -v ours="$3" -v theirs="$4" 'BEGIN{
    split(ours, o, " "); split(theirs, t, " ");
    printf "%-9s wall: recast %6.0f fps  ffmpeg %6.0f fps  ratio %.2f   " \
           "cpu: recast %6.0f fps  ffmpeg %6.0f fps  ratio %.2f\n",
           label, frames / o[1], frames / t[1], t[1] / o[1], frames / o[2], frames / t[2], t[2] / o[2] }'
}

run_case() {  # run_case NAME CODEC SIZE SECONDS AUDIO VIDEO_EXT
  local name=$1 codec=$2 size=$3 seconds=$4 audio=$5 ext=$6
  local dir="$work/$name"
  mkdir -p "$dir/el"
  "$bin/recgen" --codec "$codec" --size "$size" --seconds "$seconds" --audio "$audio" \
    --elementary "$dir/el" "$dir/$name.mp4" >/dev/null
  local frames=$((seconds * 25))
  local video="$dir/el/$name.$ext" pcm="$dir/el/$name.pcm"

  local ours theirs
  ours=$(times_of "$bin/recast" --batch --to wmv --cbr "$kbps" "$dir/$name.mp4")
  theirs=$(times_of ffmpeg -v error -y -r 25 -i "$video" -f s16le -ar 8000 -ac 1 -i "$pcm" \
    -c:v wmv2 -b:v "${kbps}k" -c:a wmav2 -ar 16000 -ac 1 -b:a 24k "$dir/ffmpeg.wmv")
  report "$name WMV" "$frames" "$ours" "$theirs" "$dir/$name.mp4_OUTPUT.WMV"

  ours=$(times_of "$bin/recast" --batch --to avi --avi-bitrate "$kbps" "$dir/$name.mp4")
  theirs=$(times_of ffmpeg -v error -y -r 25 -i "$video" -f s16le -ar 8000 -ac 1 -i "$pcm" \
    -c:v mpeg4 -vtag FMP4 -b:v "${kbps}k" -c:a pcm_s16le "$dir/ffmpeg.avi")
  report "$name AVI" "$frames" "$ours" "$theirs" "$dir/$name.mp4_OUTPUT.AVI"
}

run_case cif mpeg4 352x288 120 0x1011 m4v
run_case 4cif h264 704x576 60 0x7110 h264
