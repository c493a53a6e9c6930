#!/bin/sh
# Times whole `morvatelline-cli series` processes on the two-hour benchmark files against
# ffprobe listing the same files' packets and against cat reading them, all in one run, and
# prints the ratios with the machine's load. Warm cache: every command runs a few times first.
#   bench/whole_process.sh [BUILD_DIR] [RUNS]     (BUILD_DIR: a Release build, default build-rel)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-rel}
runs=${2:-20}
cli=$build/cli/morvatelline-cli
maker=$build/bench/make_bench_files
for tool in "$cli" "$maker"; do
  [ -x "$tool" ] || { echo "missing $tool: build the Release configuration first" >&2; exit 2; }
done
command -v hyperfine >/dev/null || { echo "needs hyperfine (apt-get install hyperfine)" >&2; exit 2; }
command -v ffprobe >/dev/null || { echo "needs ffprobe (apt-get install ffmpeg)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/morv-whole.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
"$maker" "$work"
avi=$work/two-hours.avi
full=$work/two-hours-payloads.avi
rm=$work/two-hours.rmvb
probe='ffprobe -v error -show_entries packet=stream_index,size,pts_time -of csv'

# Mean seconds of one command, from hyperfine's JSON.
mean() {
  hyperfine -N --style none --warmup 3 --runs "$1" --export-json "$work/t.json" "$2" >/dev/null 2>&1 ||
    hyperfine --style none --warmup 3 --runs "$1" --export-json "$work/t.json" "$2" >/dev/null 2>&1
  sed -n 's/^ *"mean": *\([0-9.e+-]*\),*$/\1/p' "$work/t.json" | head -n 1
}
ms() { awk -v s="$1" 'BEGIN { printf "%9.2f ms", s * 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

# The series must be the same whether movi holds the chunks or not.
"$cli" series "$avi" | sed 's/"path":"[^"]*",//' >"$work/a.json"
"$cli" series "$full" | sed 's/"path":"[^"]*",//;s/"fileLength":[0-9]*,//' >"$work/b.json"
sed -i 's/"fileLength":[0-9]*,//' "$work/a.json"
cmp -s "$work/a.json" "$work/b.json" || echo "warning: the two AVI files give different series" >&2

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
t_help=$(mean "$runs" "$cli --help")
t_avi=$(mean "$runs" "$cli series $avi")
t_full=$(mean "$runs" "$cli series $full")
t_probe=$(mean 3 "$probe $avi")
t_probe_full=$(mean 3 "$probe $full")
t_rm=$(mean "$runs" "$cli series $rm")
t_cat=$(mean "$runs" "cat $rm")
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "cli --help (process start)          $(ms "$t_help")"
echo "series two-hours.avi                $(ms "$t_avi")"
echo "ffprobe packets two-hours.avi       $(ms "$t_probe")   (movi holds no chunks: ffprobe lists none)"
echo "  ffprobe / series                  $(ratio "$t_probe" "$t_avi") x"
echo "series two-hours-payloads.avi       $(ms "$t_full")"
echo "ffprobe packets two-hours-payloads  $(ms "$t_probe_full")   (450,000 packets)"
echo "  ffprobe / series                  $(ratio "$t_probe_full" "$t_full") x"
echo "series two-hours.rmvb               $(ms "$t_rm")"
echo "cat two-hours.rmvb > /dev/null      $(ms "$t_cat")"
echo "  cat / series                      $(ratio "$t_cat" "$t_rm") x"
