#!/usr/bin/env bash
# Writes the installed application icon at each hicolor size from its
# drawing, org.velkaro.velkaro.svg, with rsvg-convert (librsvg2-bin). Run it
# after changing the drawing and commit what it writes; the build only
# installs the results.
#
#   bash resources/icons/make_icons.sh
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "make_icons: rsvg-convert is missing (librsvg2-bin)" >&2; exit 1; }
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --format png \
    --output "org.velkaro.velkaro-$size.png" org.velkaro.velkaro.svg
done
