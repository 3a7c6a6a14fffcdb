#!/usr/bin/env bash
# The set-up as a user without root: with a package missing it must name exactly the
# missing ones (not those installed, not comments), print a root line that works without
# sudo and includes the package-list update, offer sudo only where sudo exists, and stop
# with a failure before building anything.
# Usage: check_setup.sh <source-dir>
set -euo pipefail
src="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
fail=0
problem() { echo "FAIL: $*"; fail=1; }

# Two names no Debian archive has, one installed package (the shell), a comment and
# blank-padded lines.
cat >"$work/extra.txt" <<'EOF'
# a comment naming qelvi-commented-out
qelvi-missing-one
  bash
qelvi-missing-two   # trailing comment
EOF
mkdir "$work/withsudo"
printf '#!/bin/sh\nexit 0\n' >"$work/withsudo/sudo"
chmod -R a+rX "$work"

as_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME=/nonexistent PATH="$1" "${@:2}"
  else
    env -i HOME="$HOME" PATH="$1" "${@:2}"
  fi
}

plain_path=/usr/bin:/bin
[ -x /usr/bin/sudo ] && plain_path="$work/nosudo" && mkdir -p "$plain_path" &&
  for t in bash cat sed grep dpkg-query id dirname; do ln -s "$(command -v "$t")" "$plain_path/"; done
expected="su -c 'apt-get update && apt-get install -y --no-install-recommends qelvi-missing-one qelvi-missing-two'"

for case in nosudo withsudo; do
  path="$plain_path"
  [ "$case" = withsudo ] && path="$work/withsudo:$plain_path"
  rc=0
  as_user "$path" "$src/scripts/setup.sh" "$work/build" --packages "$work/extra.txt" \
    >"$work/out" 2>&1 || rc=$?
  out="$(cat "$work/out")"
  [ "$rc" -ne 0 ] || problem "$case: exit status 0 with packages missing"
  [ ! -e "$work/build" ] || problem "$case: configured a build with packages missing"
  grep -qxF "  $expected" <<<"$out" || problem "$case: no line '$expected' in: $out"
  grep -q 'bash\|commented' <<<"$out" && problem "$case: names an installed package or a comment: $out"
  if [ "$case" = withsudo ]; then
    grep -qxF "  sudo sh -c 'apt-get update && apt-get install -y --no-install-recommends qelvi-missing-one qelvi-missing-two'" \
      <<<"$out" || problem "$case: no sudo line in: $out"
  else
    grep -q sudo <<<"$out" && problem "$case: offers sudo where there is none: $out"
  fi
done
[ "$fail" = 0 ] && echo "the set-up prints a working root line and stops"
exit "$fail"
