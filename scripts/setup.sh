#!/usr/bin/env bash
# Shared by run.sh and test.sh: installs missing Debian packages, then configures and builds.
# Usage: scripts/setup.sh <build-dir> [--tests] [--packages FILE]... [--target NAME]
#                         [extra cmake args...]
#   packages.txt is always read; --tests adds packages-test.txt and configures the tests
#   and benchmarks; --packages adds another list (e.g. packages-sanitize.txt).
#   --target builds that target only (run.sh builds just the program).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"; shift
lists=("$here/packages.txt")
targets=()
cmake_args=()
tests=OFF
while [ $# -gt 0 ]; do
  case "$1" in
    --tests) tests=ON; lists+=("$here/packages-test.txt"); shift ;;
    --packages) lists+=("$2"); shift 2 ;;
    --target) targets+=(--target "$2"); shift 2 ;;
    *) cmake_args+=("$1"); shift ;;
  esac
done

# One dpkg-query for every package: names dpkg has never heard of print nothing.
mapfile -t wanted < <(cat "${lists[@]}" | sed -e 's/#.*//' -e 's/[[:space:]]//g' | grep -v '^$')
declare -A have=()
while read -r status name; do
  [ "${status:1:1}" = "i" ] && have[$name]=1
done < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${wanted[@]}" 2>/dev/null || true)
missing=()
for p in "${wanted[@]}"; do
  [ -n "${have[$p]:-}" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # Recommended packages are left out: nothing here uses what they bring (a toolkit of
  # another kind, a PostScript interpreter, graphics drivers).
  install="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # What the installation takes, said before it starts.
    plan="$(apt-get install --no-install-recommends --assume-no "${missing[@]}" 2>/dev/null || true)"
    count="$(sed -n 's/.* \([0-9]\+\) newly installed.*/\1/p' <<<"$plan")"
    disk="$(sed -n 's/^After this operation, \(.*\) of additional disk space will be used.*/\1/p' <<<"$plan")"
    echo "Installing ${count:-${#missing[@]}} Debian packages${disk:+ (about $disk of disk)}:" \
         "${missing[*]} and what they need" >&2
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    {
      echo "Qelvi needs these Debian packages: ${missing[*]}"
      echo "Install them as root (it asks for the root password), then run this command again:"
      echo "  su -c '$install'"
      if command -v sudo >/dev/null 2>&1; then
        echo "or, if your account may use sudo:"
        echo "  sudo sh -c '$install'"
      fi
    } >&2
    exit 1
  fi
fi

# The build uses Ninja: a build with nothing to do costs a fraction of a second. A build
# folder configured earlier with another generator is reconfigured in place; the files the
# program keeps there (the bank, the music setting) stay.
if [ -f "$build/CMakeCache.txt" ] &&
   ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$build/CMakeCache.txt"; then
  echo "Reconfiguring $build for Ninja (the files in it stay)" >&2
  rm -f "$build/CMakeCache.txt"
  find "$build" -name CMakeFiles -type d -prune -exec rm -rf {} +
  find "$build" \( -name Makefile -o -name cmake_install.cmake -o -name CTestTestfile.cmake \) \
       -type f -delete
fi
# A configuration that failed half-way (a package was missing) left a cache but no build
# file: it is configured again.
if [ ! -f "$build/CMakeCache.txt" ] || [ ! -f "$build/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
        -DQELVI_TESTS="$tests" "${cmake_args[@]}"
elif [ "$tests" = ON ] && grep -qx 'QELVI_TESTS:BOOL=OFF' "$build/CMakeCache.txt"; then
  # A build that ./run.sh configured gets its tests now.
  cmake -B "$build" -DQELVI_TESTS=ON
fi
cmake --build "$build" "${targets[@]}" -j"$(nproc)"
