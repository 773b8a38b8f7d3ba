#!/usr/bin/env bash
# Checks an installed hdtree: its files, then the program itself on a virtual X display, where
# its window must open at its place and size and close with Esc, the program ending with 0.
# Needs xvfb-run, xauth and xdotool; without them the run is skipped (exit 77).
set -euo pipefail

prefix=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

for file in bin/hdtree share/applications/hdtree.desktop \
            share/icons/hicolor/scalable/apps/hdtree.svg \
            share/icons/hicolor/16x16/apps/hdtree.png share/icons/hicolor/32x32/apps/hdtree.png \
            share/icons/hicolor/scalable/apps/hdtree-folder.svg \
            share/icons/hicolor/16x16/apps/hdtree-folder.png \
            share/icons/hicolor/32x32/apps/hdtree-folder.png; do
  [ -s "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
desktop="$prefix/share/applications/hdtree.desktop"
for line in '[Desktop Entry]' 'Type=Application' 'Exec=hdtree' 'Icon=hdtree'; do
  grep -qxF "$line" "$desktop" || { echo "hdtree.desktop lacks: $line"; exit 1; }
done

for tool in xvfb-run xauth xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/cwd" "$work/home"
cd "$work/cwd"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
unset QT_QPA_PLATFORM

xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/smoke_session.sh" "$prefix/bin/hdtree"

# Closing right after the start writes no file anywhere.
written=$(find "$work/cwd" "$work/home" -mindepth 1)
if [ -n "$written" ]; then
  echo "files were written:"
  echo "$written"
  exit 1
fi
echo "smoke test passed"
