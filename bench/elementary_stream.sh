#!/bin/sh
# Times `morvatelline-cli series` on a one-hour 1080p H.264 Annex B stream (a one-minute x264
# clip at 8 Mbit/s, 60 times over) against `cat` reading it, warm cache, and prints the ratio
# with the machine's load. The reader must stay within 1.5 × cat.
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
ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=25 -t 60 -c:v libx264 -preset ultrafast \
  -b:v 8M -maxrate 8M -bufsize 16M -f h264 "$work/minute.264"
i=0
while [ $i -lt 60 ]; do cat "$work/minute.264"; i=$((i + 1)); done >"$work/hour.264"
rm "$work/minute.264"
echo "file: $(du -h "$work/hour.264" | cut -f1)"

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
c=$(best cat "$work/hour.264")
m=$(best "$cli" series "$work/hour.264")
awk -v c="$c" -v m="$m" 'BEGIN { printf "cat %.2f s, series %.2f s, ratio %.2f (limit 1.5)\n", c, m, m / c }'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
