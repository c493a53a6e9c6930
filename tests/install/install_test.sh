#!/bin/sh
# The installed program: its files, the desktop entry and AppStream data as the validators see
# them, and an installation the user cannot write keeping a changed setting in the user's
# settings folder across restarts.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
src=$2
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
prefix=$tmp/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$prefix" && find . -type f | LC_ALL=C sort) >"$tmp/files"
diff -u "$src/tests/install/installed_files.txt" "$tmp/files"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/org.example.Morvatelline.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.example.Morvatelline.metainfo.xml" >/dev/null
fi
"$prefix/bin/morvatelline" --version | grep -q '^morvatelline 1\.01$'

# Read-only for everyone, run as "nobody" when the tests run as root.
chmod -R a+rX,a-w "$prefix"
chmod a+rx "$tmp"
mkdir "$tmp/config" "$tmp/home"
as=""
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$tmp/config" "$tmp/home"
  as="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
run() {  # starts the window, lets it come up, ends the session as a logout does
  $as env -i PATH=/usr/bin:/bin HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/morvatelline" >"$tmp/log" 2>&1 &
  pid=$!
  sleep 2
  kill -TERM "$pid"
  wait "$pid" || { cat "$tmp/log"; exit 1; }
}
ini=$tmp/config/morvatelline/morvatelline.ini
run
grep -q '^Width=' "$ini" || { echo "no settings written to $ini"; cat "$tmp/log"; exit 1; }
# A setting changed between runs is read at the next start and kept.
sed 's/^Width=.*/Width=701/' "$ini" >"$tmp/ini" && cat "$tmp/ini" >"$ini"
run
grep -q '^Width=701' "$ini" || { echo "the changed setting was lost:"; cat "$ini"; exit 1; }
[ ! -e "$prefix/bin/morvatelline.ini" ]
echo "installed files, validators and per-user settings: ok"
