#!/usr/bin/env sh
# Renders the PNG sizes of the icon from nord5-config.svg (needs rsvg-convert: librsvg2-bin).
# The PNGs are kept in the repository, so building the package does not need the tool.
set -eu
cd "$(dirname "$0")"
for size in 48 128 256; do
  rsvg-convert -w "$size" -h "$size" nord5-config.svg -o "nord5-config-$size.png"
done
