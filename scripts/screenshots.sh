#!/usr/bin/env bash
# Renders the README's screenshots into docs/screenshots/: the status view,
# the quick-start screen, a plan with five points and the point list, drawn
# by the real views on Qt's offscreen platform (no display, no board).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target velkaro-demo

mkdir -p docs/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Solving writes debug.txt into the current folder: keep it out of the tree.
(cd "$work" && QT_QPA_PLATFORM=offscreen "$OLDPWD/build/bin/velkaro-demo" --screenshots "$OLDPWD/docs/screenshots")
ls -l docs/screenshots
