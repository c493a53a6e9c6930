#!/bin/sh
# Opens a 1.2 GB OpenDML AVI (two RIFF parts, made by ffmpeg: 110 s of 640x480 raw video and
# PCM audio) with `morvatelline-cli series`, also with its idx1 renamed to JUNK and cut short
# at 900 MB, and times each against `cat` of the same file and ffprobe's packet listing.
#   bench/opendml.sh [BUILD_DIR] [RUNS]     (BUILD_DIR: a Release build, default build-rel)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
runs=${2:-10}
cli=$build/cli/morvatelline-cli
[ -x "$cli" ] || { echo "missing $cli: build the Release configuration first" >&2; exit 2; }
for tool in hyperfine ffmpeg ffprobe python3; do
  command -v $tool >/dev/null || { echo "needs $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/morv-odml.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
odml=$work/opendml.avi
ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -f lavfi -i sine=sample_rate=48000 -t 110 \
  -c:v rawvideo -pix_fmt yuv420p -c:a pcm_s16le "$odml"
# The same file without its idx1, and one cut short inside its second part.
python3 - "$odml" "$work/no-idx1.avi" "$work/cut.avi" <<'PY'
import shutil, sys
src, stripped, cut = sys.argv[1:]
with open(src, 'rb') as f:
    whole = f.read()
shutil.copyfile(src, stripped)
with open(stripped, 'r+b') as f:
    f.seek(whole.index(b'idx1'))
    f.write(b'JUNK')
with open(cut, 'wb') as f:
    f.write(whole[:900 << 20])
PY

mean() {
  hyperfine -N --style none --warmup 2 --runs "$1" --export-json "$work/t.json" "$2" >/dev/null 2>&1
  sed -n 's/^ *"mean": *\([0-9.e+-]*\),*$/\1/p' "$work/t.json" | head -n 1
}
ms() { awk -v s="$1" 'BEGIN { printf "%9.2f ms", s * 1000 }'; }

echo "file: $(stat -c %s "$odml") bytes"
for f in "$odml" "$work/no-idx1.avi" "$work/cut.avi"; do
  "$cli" series "$f" | python3 -c 'import json,sys; j=json.load(sys.stdin); print("  %s: %s s, notes %s" % (sys.argv[1], j["durationSeconds"], j.get("notes", [])))' "$(basename "$f")"
done
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
t_odml=$(mean "$runs" "$cli series $odml")
t_strip=$(mean "$runs" "$cli series $work/no-idx1.avi")
t_cut=$(mean "$runs" "$cli series $work/cut.avi")
t_cat=$(mean "$runs" "cat $odml")
t_probe=$(mean 3 "ffprobe -v error -show_entries packet=stream_index,size -of csv $odml")
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo "series opendml.avi (idx1 + OpenDML)   $(ms "$t_odml")"
echo "series no-idx1.avi (OpenDML indexes)  $(ms "$t_strip")"
echo "series cut.avi (chunks walked)        $(ms "$t_cut")"
echo "cat opendml.avi > /dev/null           $(ms "$t_cat")"
echo "ffprobe packets opendml.avi           $(ms "$t_probe")"
