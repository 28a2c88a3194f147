#!/usr/bin/env bash
# Converts two recorder files with recast --batch, to WMV and to AVI, and has the ffmpeg
# command line do the same work on the same elementary streams (decode the video, encode it at
# the same size and bit rate, and the sound beside it); prints frames per second for both and
# their ratio (ffmpeg's time / ours: above 1.0 is faster than ffmpeg), by wall-clock time and by
# CPU time (user + system; the machine may be shared, which stretches wall time for both).
#   CIF:  120 s MPEG-4 352x288 with G.726 audio
#   4CIF:  60 s H.264 704x576 with G.711 audio
# Then two rows for what a user does with whole days of footage:
#   folder: 8 CIF H.264 recordings of 60 s to WMV by recast --batch -j 2 (and -j 1), against
#           ffmpeg on the same elementary streams run two at a time by xargs -P 2;
#   copy:   the 4CIF recording to MP4 without re-encoding (--to mp4) against its WMV conversion
#           (speed-up factor) and against ffmpeg -c:v copy of its elementary stream (ratio).
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

ratio() {  # ratio "THEIR_WALL THEIR_CPU" "OUR_WALL OUR_CPU" [FIELD]: their time / ours
  awk -v t="$1" -v o="$2" -v f="${3:-1}" \
    'BEGIN{ split(t, a, " "); split(o, b, " "); printf "%.2f", a[f] / b[f] }'
}

folder_case() {  # 8 CIF files of 60 s to WMV, two at a time
  local dir="$work/folder" n
  mkdir -p "$dir/el"
  for n in 1 2 3 4 5 6 7 8; do
    "$bin/recgen" --codec h264 --size 352x288 --seconds 60 --audio 0x1011 --seed "$n" \
      --elementary "$dir/el" "$dir/ch0$n.mp4" >/dev/null
  done
  local serial parallel theirs
  serial=$(times_of "$bin/recast" --batch -j 1 --to wmv --cbr "$kbps" "$dir")
  parallel=$(times_of "$bin/recast" --batch -j 2 --to wmv --cbr "$kbps" "$dir")
  for n in 1 2 3 4 5 6 7 8; do
    [ "$(frames_in "$dir/ch0$n.mp4_OUTPUT.WMV")" = 1500 ] || { echo "folder: ch0$n short" >&2; exit 1; }
  done
  theirs=$(cd "$dir/el" && times_of sh -c "ls *.h264 | sed 's/.h264\$//' | xargs -P 2 -I{} \
    ffmpeg -v error -y -r 25 -i {}.h264 -f s16le -ar 8000 -ac 1 -i {}.pcm -c:v wmv2 \
    -b:v ${kbps}k -c:a wmav2 -ar 16000 -ac 1 -b:a 24k {}.ffmpeg.wmv")
  printf "folder    wall: recast -j 2 %6.1f s  -j 1 %6.1f s  ffmpeg xargs -P 2 %6.1f s  " \
    "${parallel%% *}" "${serial%% *}" "${theirs%% *}"
  echo "ratio vs ffmpeg $(ratio "$theirs" "$parallel")  -j 2 vs -j 1 $(ratio "$serial" "$parallel")"
  printf "folder    cpu:  recast -j 2 %6.1f s  -j 1 %6.1f s  ffmpeg xargs -P 2 %6.1f s  " \
    "${parallel#* }" "${serial#* }" "${theirs#* }"
  echo "ratio vs ffmpeg $(ratio "$theirs" "$parallel" 2)"
}

copy_case() {  # the 4CIF recording to MP4 without re-encoding
  local dir="$work/4cif" wmv copy theirs
  wmv=$(times_of "$bin/recast" --batch --to wmv --cbr "$kbps" "$dir/4cif.mp4")
  copy=$(times_of "$bin/recast" --batch --to mp4 "$dir/4cif.mp4")
  [ "$(frames_in "$dir/4cif.mp4_OUTPUT.MP4")" = 1500 ] || { echo "copy: frames missing" >&2; exit 1; }
  theirs=$(times_of ffmpeg -v error -y -r 25 -i "$dir/el/4cif.h264" -f s16le -ar 8000 -ac 1 \
    -i "$dir/el/4cif.pcm" -c:v copy -c:a aac -ar 16000 -ac 1 "$dir/ffmpeg.mp4")
  printf "copy      wall: recast --to mp4 %5.2f s  --to wmv %5.2f s  ffmpeg -c:v copy %5.2f s  " \
    "${copy%% *}" "${wmv%% *}" "${theirs%% *}"
  echo "speed-up vs WMV $(ratio "$wmv" "$copy")  ratio vs ffmpeg $(ratio "$theirs" "$copy")"
  printf "copy      cpu:  recast --to mp4 %5.2f s  --to wmv %5.2f s  ffmpeg -c:v copy %5.2f s  " \
    "${copy#* }" "${wmv#* }" "${theirs#* }"
  echo "speed-up vs WMV $(ratio "$wmv" "$copy" 2)  ratio vs ffmpeg $(ratio "$theirs" "$copy" 2)"
}

run_case cif mpeg4 352x288 120 0x1011 m4v
run_case 4cif h264 704x576 60 0x7110 h264
copy_case
folder_case
