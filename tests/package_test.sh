#!/usr/bin/env bash
# The Debian package as a user gets it: built with `make deb`'s script,
# checked by lintian, desktop-file-validate and appstreamcli, its files
# listed against what it must install, then unpacked into a folder and the
# installed program run in tmux on a private X server until the panel shows
# and QUIT ends it with 0.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: package_test.sh BUILD-FOLDER}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

deb=$("$top/scripts/make-deb" "$work")
echo "built $deb"
# lintian leaves a scratch folder of its own behind; keep it in ours.
report=$(TMPDIR="$work" lintian "$work/$deb" 2>&1 | grep -v 'root privileges' || true)
[[ -n "$report" ]] && echo "$report"
if grep -q '^E:' <<< "$report"; then echo "lintian found errors"; exit 1; fi

expected="./usr/games/glimmet2
./usr/share/applications/glimmet2.desktop
./usr/share/doc/glimmet2/changelog.gz
./usr/share/doc/glimmet2/copyright
./usr/share/icons/hicolor/128x128/apps/glimmet2.png
./usr/share/icons/hicolor/16x16/apps/glimmet2.png
./usr/share/icons/hicolor/32x32/apps/glimmet2.png
./usr/share/icons/hicolor/48x48/apps/glimmet2.png
./usr/share/icons/hicolor/64x64/apps/glimmet2.png
./usr/share/icons/hicolor/scalable/apps/glimmet2.svg
./usr/share/man/man6/glimmet2.6.gz
./usr/share/metainfo/example.glimmet2.glimmet2.metainfo.xml"
files=$(dpkg -c "$work/$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
if [[ "$files" != "$expected" ]]; then
  diff <(echo "$expected") <(echo "$files") || true
  echo "the package's files differ from the list"
  exit 1
fi
# Not `| grep -q` under pipefail: grep leaving early fails the pipe.
grep -q 'Depends:.*libsdl2' <<< "$(dpkg -I "$work/$deb")" || { echo "no library dependencies"; exit 1; }

root="$work/root"
dpkg -x "$work/$deb" "$root"
desktop-file-validate "$root/usr/share/applications/glimmet2.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.glimmet2.glimmet2.metainfo.xml" \
  > "$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; exit 1; }
grep -q '^Terminal=true$' "$root/usr/share/applications/glimmet2.desktop"
grep -q '^StartupWMClass=glimmet2$' "$root/usr/share/applications/glimmet2.desktop"

# The installed program, started as the menu entry starts it, worked as
# the end-to-end suite works the built one; desktops match its window to
# the menu entry by its class, and show its own icon.
"$top/scripts/with-xvfb" python3 "$top/tests/e2e_test.py" "$root/usr/games/glimmet2" \
  "$build/glimmet2-xclose" Scenarios.test_tmux_work_the_panel EndToEnd.test_window_class_and_icon
echo "package built, checked, installed and run"
