#!/usr/bin/env bash
# The Debian package as a user gets it: built with `make deb`'s script,
# checked by lintian, desktop-file-validate and appstreamcli, its files
# listed against what it must install, then unpacked into a folder and the
# installed program run in tmux on a private X server until the panel shows
# and QUIT ends it with 0.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
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

# The installed program, started as the menu entry starts it.
run_installed() {
  local tmux=(tmux -S "$work/tmux" -f /dev/null)
  "${tmux[@]}" new-session -d -x 80 -y 24 \
    "$root/usr/games/glimmet2 2>$work/stderr; echo \$? >$work/status; sleep 60"
  for _ in $(seq 200); do
    "${tmux[@]}" capture-pane -p | grep -q 'GLIMMET2 - Cellular Automata Toy' && break
    sleep 0.05
  done
  "${tmux[@]}" capture-pane -p | grep -q 'GLIMMET2 - Cellular Automata Toy' ||
    { echo "the installed program shows no panel"; "${tmux[@]}" kill-server; return 1; }
  for _ in $(seq 200); do
    xdotool search --name '^Glimmet$' > /dev/null && break
    sleep 0.05
  done
  # Desktops match the window to the menu entry by its class, and show
  # its own icon.
  local window
  window=$(xdotool search --name '^Glimmet$' | head -n 1)
  [[ "$(xprop -id "$window" WM_CLASS)" == 'WM_CLASS(STRING) = "glimmet2", "glimmet2"' ]] ||
    { echo "the window's class is not glimmet2"; "${tmux[@]}" kill-server; return 1; }
  xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (32 x 32)' ||
    { echo "the window has no icon of its own"; "${tmux[@]}" kill-server; return 1; }
  "${tmux[@]}" send-keys -H 1b 5b 3c 30 3b 34 32 3b 31 34 4d 1b 5b 3c 30 3b 34 32 3b 31 34 6d
  for _ in $(seq 200); do
    [[ -s "$work/status" ]] && break
    sleep 0.05
  done
  "${tmux[@]}" kill-server
  [[ "$(cat "$work/status" 2>/dev/null)" == 0 ]] || { echo "QUIT did not end it with 0"; return 1; }
  [[ ! -s "$work/stderr" ]] || { cat "$work/stderr"; return 1; }
}
export -f run_installed
export work root
"$top/scripts/with-xvfb" bash -c run_installed
echo "package built, checked, installed and run"
