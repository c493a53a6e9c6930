#!/usr/bin/env bash
# Installs what is missing, builds a normal and an ASan+UBSan configuration, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
jobs=${JOBS:-2}

tools/ensure-packages.sh cmake make g++ pkg-config ccache \
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev ffmpeg python3-xlrd \
  qt6-base-dev libgl-dev qt6-translations-l10n fonts-arphic-uming fonts-liberation2 locales \
  clang clang-format libclang-rt-14-dev mkvtoolnix gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
  gstreamer1.0-plugins-bad
# The English translation is compiled by Qt's lrelease.
tools/ensure-packages.sh qt6-tools-dev qt6-l10n-tools
# The installation's checks: validators for the desktop entry and AppStream data, dpkg-shlibdeps
# for the package's dependencies.
tools/ensure-packages.sh desktop-file-utils appstream dpkg-dev

# Tests check that written numbers and file suffixes do not follow the user's locale; they need
# a locale with a decimal comma and one with Turkish case rules.
for loc in de_DE tr_TR; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    if [ "$(id -u)" -eq 0 ]; then localedef -i "$loc" -f UTF-8 "$loc.UTF-8" || true; fi
  fi
done

echo "== formatting"
# Every C++ source as .clang-format writes it: tools/check-format.sh --fix mends the files named.
tools/check-format.sh

echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORV_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== Debian package"
sh tests/install/deb_check.sh build .

echo "== ASan+UBSan build"
# Qt's own libraries are not instrumented: the window and its tests run in the normal build.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DMORV_WERROR=ON -DMORV_SANITIZE=ON \
  -DMORV_BUILD_BENCH=OFF -DMORV_BUILD_GUI=OFF >/dev/null
cmake --build build-asan -j"$jobs"
# One allocation above 256 MiB fails the test: no size field of a file may become an allocation
# larger than what the file could hold.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:max_allocation_size_mb=256:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure

# A short run of every libFuzzer target, seeded with generated files and every kept regression.
echo "== fuzz smoke run"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DMORV_BUILD_FUZZ=ON \
  -DMORV_BUILD_TESTS=OFF -DMORV_BUILD_BENCH=OFF -DMORV_BUILD_GUI=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzzers make_sample
seeds=build-fuzz/seeds
mkdir -p "$seeds"
build-fuzz/tests/make_sample "$seeds/sample.avi"
build-fuzz/tests/make_sample "$seeds/sample-odml.avi" --opendml
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=5 -f lavfi -i sine=r=48000 -t 2 \
  -c:v rv10 -b:v 8k -c:a ac3 -b:a 32k "$seeds/sample.rm"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=5 -f lavfi -i sine=r=8000 -t 2 \
  -c:v mpeg4 -bf 2 -b:v 8k -c:a aac -b:a 16k "$seeds/sample.mp4"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=5 -f lavfi -i sine=r=8000 -t 2 \
  -c:v mpeg4 -b:v 8k -c:a aac -b:a 16k -movflags frag_keyframe+empty_moov "$seeds/sample-fragmented.mp4"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=5 -f lavfi -i sine=r=8000 -t 2 \
  -c:v mpeg4 -b:v 8k -c:a libvorbis "$seeds/sample.mkv"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=5 -f lavfi -i sine=r=8000 -t 2 \
  -c:v libx264 -c:a aac -b:a 16k "$seeds/sample.flv"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=25 -f lavfi -i sine=r=8000 -t 1 \
  -c:v mpeg2video -c:a mp2 "$seeds/sample.ts"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=25 -f lavfi -i sine=r=8000 -t 1 \
  -c:v mpeg1video -c:a mp2 -f vob "$seeds/sample.mpg"
ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=5 -f lavfi -i sine=r=8000 -t 2 \
  -c:v wmv2 -c:a wmav2 -packetsize 400 "$seeds/sample.wmv"
for a in "libmp3lame -q:a 4 -f mp3 sample.mp3" "mp2 -f mp2 sample.mp2" "aac -f adts sample.aac" \
  "ac3 -f ac3 sample.ac3" "eac3 -f eac3 sample.eac3"; do
  ffmpeg -loglevel error -y -f lavfi -i sine=r=8000 -t 0.3 -c:a ${a% *} "$seeds/${a##* }"
done
# PCM, whose chance sync patterns must not make an audio stream.
ffmpeg -loglevel error -y -f lavfi -i sine=r=8000:beep_factor=4 -t 0.3 "$seeds/sample.wav"
for es in "mpeg2video -f mpeg2video sample.m2v" "libx264 -f h264 sample.264" "libx265 -f hevc sample.hevc" \
  "libvpx-vp9 -f ivf sample.ivf" "mpeg4 -f m4v sample.m4v"; do
  set -- $es
  ffmpeg -loglevel error -y -f lavfi -i testsrc=s=32x32:r=25 -t 1 -c:v "$1" "$2" "$3" "$seeds/$4" || true
done
find tests/fuzz/regressions -type f -exec cp {} "$seeds/" \;
for f in build-fuzz/tests/fuzz/fuzz_*; do
  [ -f "$f" ] && [ -x "$f" ] || continue
  corpus=build-fuzz/corpus-$(basename "$f")
  mkdir -p "$corpus"
  "$f" -max_total_time="${FUZZ_SECONDS:-20}" -max_len=16384 -timeout=60 "$corpus" "$seeds" >"$corpus.log" 2>&1 \
    || { tail -40 "$corpus.log"; echo "fuzz target $f failed; keep the input under tests/fuzz/regressions/"; exit 1; }
  grep -h "^Done" "$corpus.log" || true
done
echo "== all tests passed"
