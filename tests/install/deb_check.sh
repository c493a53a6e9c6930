#!/bin/sh
# Builds the Debian package of a build folder and checks it: the files it installs are those of
# `cmake --install`, it carries its copyright file, its dependencies can be met on this system.
#   deb_check.sh BUILD_DIR SOURCE_DIR
set -eu
build=$(cd "$1" && pwd)
src=$2
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/morvatelline_*_amd64.deb 2>/dev/null | head -n 1 || true)
[ -n "$deb" ] || { echo "no package was made" >&2; exit 1; }
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/|./|' | LC_ALL=C sort >"$build/deb_files.txt"
diff -u "$src/tests/install/installed_files.txt" "$build/deb_files.txt"
# Debian keeps a package's licence terms in its copyright file, in the machine-readable format.
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/morvatelline/copyright 2>/dev/null |
  head -n 1 | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  { echo "the package has no machine-readable usr/share/doc/morvatelline/copyright" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "the package names no Qt dependency" >&2; exit 1; }
if [ "$(id -u)" -eq 0 ]; then
  # What apt would do on this machine, without doing it.
  apt-get install -s "$deb" >/dev/null
fi
echo "package $(basename "$deb"): files and dependencies ok"
