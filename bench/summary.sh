#!/bin/sh
# Times `morvatelline-cli summary` over a tree of 1,000 small files of every container and over a
# folder of two-hour files, against `cat` of the same files and against `series` of each file in
# turn, in one run, with the machine's load. Files are made once by ffmpeg into the cache folder.
#   bench/summary.sh [BUILD_DIR] [RUNS]     (BUILD_DIR default build-rel, else build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
[ -d "$build" ] || build=$root/build
runs=${2:-3}
cli=$build/cli/morvatelline-cli
[ -x "$cli" ] || { echo "missing $cli" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "needs ffmpeg" >&2; exit 2; }
cache=${XDG_CACHE_HOME:-$HOME/.cache}/morvatelline-bench
mkdir -p "$cache/small" "$cache/tree" "$cache/long"

small="-f lavfi -i testsrc=s=160x120:r=25 -f lavfi -i sine=sample_rate=44100 -t 4"
mk() {  # mk FOLDER NAME INPUT ARGS...: unless it is already there
  [ -s "$1/$2" ] && return 0
  out=$1/partial.${2##*.}
  folder=$1 name=$2
  shift 2
  ffmpeg -v error -y "$@" "$out"
  mv "$out" "$folder/$name"
}
mk "$cache/small" a.mp4 $small -c:v libx264 -c:a aac
mk "$cache/small" b.mkv $small -c:v libx264 -c:a libvorbis
mk "$cache/small" c.ts $small -c:v mpeg2video -c:a mp2
mk "$cache/small" d.mpg $small -c:v mpeg2video -c:a mp2 -f vob
mk "$cache/small" e.flv $small -c:v flv1 -c:a libmp3lame -ar 44100
mk "$cache/small" f.wmv $small -c:v wmv2 -c:a wmav2
mk "$cache/small" g.avi $small -c:v mpeg4 -c:a libmp3lame
mk "$cache/small" h.h264 $small -an -c:v libx264 -f h264
mk "$cache/small" i.rm $small -c:v rv20 -c:a ac3 -ar 44100
if [ "$(find "$cache/tree" -type f | wc -l)" -ne 1000 ]; then
  rm -rf "$cache/tree" && mkdir -p "$cache/tree"
  n=0
  while [ $n -lt 1000 ]; do
    for f in "$cache"/small/*.*; do
      [ $n -lt 1000 ] || break
      d=$cache/tree/$((n / 100))
      mkdir -p "$d"
      cp "$f" "$d/$n.${f##*.}"
      n=$((n + 1))
    done
  done
fi
# Two-hour files: ten minutes encoded, then repeated by stream copy.
ten="-f lavfi -i testsrc=s=320x240:r=25 -f lavfi -i sine=sample_rate=44100 -t 600"
mk "$cache" ten.mp4 $ten -c:v libx264 -preset ultrafast -b:v 600k -c:a aac -b:a 96k
mk "$cache/long" two-hours.mp4 -stream_loop 11 -i "$cache/ten.mp4" -c copy
mk "$cache/long" two-hours.mkv -i "$cache/long/two-hours.mp4" -c copy
mk "$cache/long" two-hours.ts -i "$cache/long/two-hours.mp4" -c copy

best() {  # best RUNS COMMAND...: the fastest wall-clock seconds of RUNS runs
  n=$1
  shift
  b=
  i=0
  while [ $i -lt "$n" ]; do
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    e=$(date +%s.%N)
    b=$(awk -v b="$b" -v t="$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')" 'BEGIN { print (b == "" || t < b) ? t : b }')
    i=$((i + 1))
  done
  echo "$b"
}
catall() { find "$1" -type f -exec cat {} + >/dev/null; }
eachseries() { for f in $(find "$1" -type f | sort); do "$cli" series "$f" >/dev/null 2>&1 || true; done; }
eachframes() { for f in $(find "$1" -type f | sort); do "$cli" frames "$f" >/dev/null 2>&1 || true; done; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
for set in tree long; do
  t=$(best "$runs" "$cli" summary --all-formats "$cache/$set")
  c=$(best "$runs" catall "$cache/$set")
  s=$(best 1 eachseries "$cache/$set")
  f=$(best 1 eachframes "$cache/$set")
  echo "$set ($(find "$cache/$set" -type f | wc -l) files, $(du -sh "$cache/$set" | cut -f1)): summary ${t}s  cat ${c}s  series one by one ${s}s  frames one by one ${f}s"
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
