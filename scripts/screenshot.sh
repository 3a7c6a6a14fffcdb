#!/usr/bin/env bash
# Makes docs/main-window.png, the README's picture of the main window, offscreen; and
# docs/band-check.png (the sample test with a gap and an overlap) and
# docs/history-chart.png (250 records of the sample test).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build" --tests
mkdir -p "$here/docs"
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    "$here/build/tests/prog_screenshot" "$here/assets/shipped" "$here/docs/main-window.png"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$here/build/tests/prog_editors_shot" \
    "$scratch/questions.png" "$scratch/bands.png" "$scratch/check.png" "$here/docs/band-check.png"
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$here/build/tests/prog_history_shot" \
    many "$here/docs/history-chart.png"
echo "wrote docs/main-window.png, docs/band-check.png, docs/history-chart.png"
