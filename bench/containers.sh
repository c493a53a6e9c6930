#!/bin/sh
# Times whole `morvatelline-cli series` runs on two-hour files of the time-stamped containers
# (MP4, Matroska, MPEG-TS, FLV, MPEG-PS, ASF)
# (made once by ffmpeg at 320x240, about 700 kbit/s as a small download would be, and kept in the
# cache folder) against the program's own start-up,
# ffprobe's packet listing and `cat` of the same files, in one run, with the machine's load.
#   bench/containers.sh [BUILD_DIR] [RUNS]     (BUILD_DIR: a Release build, default build-rel)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
runs=${2:-20}
cli=$build/cli/morvatelline-cli
[ -x "$cli" ] || { echo "missing $cli: build the Release configuration first" >&2; exit 2; }
for tool in hyperfine ffmpeg ffprobe; do
  command -v $tool >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
cache=${XDG_CACHE_HOME:-$HOME/.cache}/morvatelline-bench
mkdir -p "$cache"
src="-f lavfi -i testsrc=s=320x240:r=25 -f lavfi -i sine=sample_rate=44100 -t 7200"
make() {  # make NAME ARGS...: the two-hour file NAME unless it is already there
  name=$1
  shift
  [ -s "$cache/$name" ] && return 0
  ffmpeg -v error -y $src "$@" "$cache/partial.${name##*.}"
  mv "$cache/partial.${name##*.}" "$cache/$name"
}
make two-hours.mp4 -c:v mpeg4 -b:v 600k -c:a aac -b:a 96k
make two-hours.mkv -c:v mpeg4 -b:v 600k -c:a libvorbis -b:a 96k
make two-hours.ts -c:v mpeg2video -b:v 600k -c:a mp2 -b:a 96k
make two-hours.flv -c:v libx264 -preset ultrafast -b:v 600k -c:a aac -b:a 96k
make two-hours.mpg -c:v mpeg2video -b:v 600k -c:a mp2 -b:a 96k -f vob
make two-hours.wmv -c:v wmv2 -b:v 600k -c:a wmav2 -b:a 96k

mean() {
  hyperfine -N --style none --warmup 3 --runs "$1" --export-json "$cache/t.json" "$2" >/dev/null 2>&1
  sed -n 's/^ *"mean": *\([0-9.e+-]*\),*$/\1/p' "$cache/t.json" | head -n 1
}
ms() { awk -v s="$1" 'BEGIN { printf "%9.2f ms", s * 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
probe='ffprobe -v error -show_entries packet=stream_index,size,dts_time -of csv'

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
t_help=$(mean "$runs" "$cli --help")
for f in two-hours.mp4 two-hours.mkv two-hours.ts two-hours.flv two-hours.mpg two-hours.wmv; do
  t=$(mean "$runs" "$cli series $cache/$f")
  t_cat=$(mean "$runs" "cat $cache/$f")
  t_probe=$(mean 2 "$probe $cache/$f")
  echo "series $f: $(ms "$t")   --help $(ms "$t_help") ($(ratio "$t" "$t_help") x)   cat $(ms "$t_cat") ($(ratio "$t_cat" "$t") x)   ffprobe $(ms "$t_probe") ($(ratio "$t_probe" "$t") x)"
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
