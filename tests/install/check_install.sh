#!/usr/bin/env bash
# Installs into a temporary prefix, makes it read-only, and runs the program from there
# twice with a temporary home: the user's files must land in the per-user folder, the
# installed files stay untouched, and the second start finds the same bank.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
prefix="$work/prefix"
home="$work/home"
mkdir -p "$home"

cmake --install "$build" --prefix "$prefix" >/dev/null
cp "$build/tests/prog_installcheck" "$prefix/bin/"
for f in bin/qelvi share/qelvi/test.mdb share/qelvi/music.ini share/qelvi/gaoshanls.mp3 \
         share/qelvi/nosars.gif share/applications/qelvi.desktop \
         share/icons/hicolor/scalable/apps/qelvi.svg; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
chmod -R a-w "$prefix"
before="$(cd "$prefix" && find . -type f -exec sha256sum {} + | sort)"

run() {
  env -i PATH="$PATH" HOME="$home" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
      "$prefix/bin/prog_installcheck" "$1"
}
folder="$(run create | head -n 1)"
expected="$home/.local/share/qelvi"
[ "$folder" = "$expected" ] || { echo "program folder is $folder, expected $expected"; exit 1; }
for f in test.mdb music.ini temp.txt temp1.txt; do
  [ -f "$expected/$f" ] || { echo "missing in the per-user folder: $f"; exit 1; }
done
[ "$(cat "$expected/temp.txt")" = "$(printf '安装后的测试\r')" ] || { echo "temp.txt holds the wrong name"; exit 1; }
run verify >/dev/null

after="$(cd "$prefix" && find . -type f -exec sha256sum {} + | sort)"
[ "$before" = "$after" ] || { echo "installed files changed"; diff <(echo "$before") <(echo "$after"); exit 1; }
echo "installed copy keeps the user's files in $expected"
