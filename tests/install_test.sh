#!/usr/bin/env bash
# `make install` in small: the build's install rules put under a prefix the
# same files the Debian package installs (program, manual page, menu entry,
# icons, AppStream metadata), and the page renders without complaint.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
expected="bin/glimmet2
share/applications/glimmet2.desktop
share/icons/hicolor/128x128/apps/glimmet2.png
share/icons/hicolor/16x16/apps/glimmet2.png
share/icons/hicolor/32x32/apps/glimmet2.png
share/icons/hicolor/48x48/apps/glimmet2.png
share/icons/hicolor/64x64/apps/glimmet2.png
share/icons/hicolor/scalable/apps/glimmet2.svg
share/man/man6/glimmet2.6
share/metainfo/example.glimmet2.glimmet2.metainfo.xml"
files=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
if [[ "$files" != "$expected" ]]; then
  diff <(echo "$expected") <(echo "$files") || true
  exit 1
fi
test -x "$prefix/bin/glimmet2"
if command -v groff > /dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$prefix/share/man/man6/glimmet2.6" 2>&1)
  [[ -z "$warnings" ]] || { echo "$warnings"; exit 1; }
fi
echo "installed and rendered"
