#!/usr/bin/env bash
# `make install` in small: the build's install rules put the program and its
# manual page under a prefix, and the page renders without complaint.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
test -x "$prefix/bin/glimmet2"
page="$prefix/share/man/man6/glimmet2.6"
test -f "$page"
if command -v groff > /dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [[ -z "$warnings" ]] || { echo "$warnings"; exit 1; }
fi
echo "installed and rendered"
