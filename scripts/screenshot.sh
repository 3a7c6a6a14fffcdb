#!/usr/bin/env bash
# Makes docs/main-window.png, the README's picture of the main window, offscreen.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build" --tests
mkdir -p "$here/docs"
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    "$here/build/tests/prog_screenshot" "$here/assets/shipped" "$here/docs/main-window.png"
echo "wrote docs/main-window.png"
