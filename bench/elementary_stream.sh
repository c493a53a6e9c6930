#!/bin/sh
# Times `morvatelline-cli series` on a one-hour 1080p H.264 Annex B stream (a one-minute x264
# clip at 8 Mbit/s, 60 times over) and on a ten-minute 1080p MPEG-2 video stream (a one-minute
# clip at 8 Mbit/s, 10 times over) against `cat` reading each, warm cache, and prints the ratios
# with the machine's load. The reader must stay within 1.5 × cat on H.264.
#   bench/elementary_stream.sh [BUILD_DIR] [RUNS]     (BUILD_DIR: a Release build, default build-rel)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
runs=${2:-3}
cli=$build/cli/morvatelline-cli
[ -x "$cli" ] || { echo "missing $cli: build the Release configuration first" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "needs ffmpeg (apt-get install ffmpeg)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/morv-es.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
# Best of RUNS wall-clock seconds, after one warm-up run.
best() {
  "$@" >/dev/null
  b=""
  i=0
  while [ $i -lt "$runs" ]; do
    s=$(date +%s.%N)
    "$@" >/dev/null
    e=$(date +%s.%N)
    b=$(awk -v b="$b" -v t="$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')" \
      'BEGIN { print (b == "" || t < b) ? t : b }')
    i=$((i + 1))
  done
  echo "$b"
}
# measure NAME MINUTES LIMIT FFMPEG_OUTPUT_OPTIONS...: one minute encoded, MINUTES times over.
measure() {
  name=$1 minutes=$2 limit=$3
  shift 3
  ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=25 -t 60 -b:v 8M -maxrate 8M -bufsize 16M \
    "$@" "$work/minute"
  i=0
  while [ $i -lt "$minutes" ]; do cat "$work/minute"; i=$((i + 1)); done >"$work/$name"
  rm "$work/minute"
  c=$(best cat "$work/$name")
  m=$(best "$cli" series "$work/$name")
  rm "$work/$name"
  awk -v n="$name" -v mi="$minutes" -v c="$c" -v m="$m" -v l="$limit" 'BEGIN {
    printf "%s (%d min): cat %.2f s, series %.2f s, ratio %.2f%s\n", n, mi, c, m, m / c,
      l == "-" ? "" : " (limit " l ")" }'
}
measure hour.264 60 1.5 -c:v libx264 -preset ultrafast -f h264
measure ten.m2v 10 - -c:v mpeg2video -f mpeg2video
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
