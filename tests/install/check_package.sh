#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks it as Debian and software
# centres would: lintian (no error, no warning, and no info tag but the ones allowed
# below with their reason), the desktop entry, the AppStream data, that everything the
# packaged program opens at start comes with its dependencies, and that the names
# these files give one another are in the package.
# Usage: check_package.sh <build-dir>
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail=0
problem() { echo "FAIL: $*"; fail=1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$work"/out/*.deb)"
dpkg-deb -x "$deb" "$work/root"
root="$work/root"

# Info tags that may stay, with the reason.
#   hardening-no-fortify-functions: the program is built with -D_FORTIFY_SOURCE=2, but no
#   libc call in it has a buffer size the compiler can check (the one read() reads one
#   byte into a one-byte buffer), so nothing is replaced by a checking call.
allowed_info="hardening-no-fortify-functions"
# Exit status 1 means tags at error level, which the loop reports; anything else broke.
rc=0
lintian --pedantic --display-info --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>"$work/lintian.err" || rc=$?
cat "$work/lintian.txt"
[ "$rc" -le 1 ] || { cat "$work/lintian.err"; problem "lintian did not run (exit status $rc)"; }
while read -r level _ tag _; do
  case "$level" in
    E: | W:) problem "lintian $level $tag" ;;
    I:) [[ " $allowed_info " == *" $tag "* ]] || problem "lintian $level $tag" ;;
  esac
done <"$work/lintian.txt"

desktop="$root/usr/share/applications/qelvi.desktop"
desktop-file-validate "$desktop" || problem "desktop-file-validate"
metainfo="$(ls "$root"/usr/share/metainfo/*.metainfo.xml)"
# As a user runs it: with the network, so an address that points nowhere fails.
appstreamcli validate --pedantic "$metainfo" || problem "appstreamcli validate"

# What the package leaves to run time: the plugins and data a start opens, and its icons.
python3 "$(dirname "$0")/check_runtime_deps.py" "$deb" "$root" || problem "run-time dependencies"

# What the validators cannot see: the names the files give one another.
id="$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")"
[ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || problem "metainfo file is not named after $id"
launch="$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")"
[ -f "$root/usr/share/applications/$launch" ] || problem "metainfo launches $launch, not in the package"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || problem "icon $icon is not in the package"
exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$root/usr/bin/$exec_name" ] || problem "the desktop entry starts $exec_name, not in the package"
binary="$(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo")"
[ -x "$root/usr/bin/$binary" ] || problem "metainfo provides $binary, not in the package"

# One version everywhere: the package, the changelog's newest entry, the newest release.
version="$(dpkg-deb -f "$deb" Version)"
changelog_version="$(zcat "$root/usr/share/doc/qelvi/changelog.gz" | sed -n '1s/^qelvi (\([^)]*\)).*/\1/p')"
[ "$changelog_version" = "$version" ] ||
  problem "package version $version, changelog's newest entry ${changelog_version:-unreadable}"
release="$(grep -m1 -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)"
[ "$release" = "$version" ] || problem "package version $version, metainfo's newest release ${release:-none}"

[ "$fail" = 0 ] && echo "$(basename "$deb"): lintian clean, desktop entry and AppStream data valid"
exit "$fail"
