#!/bin/sh
# Renders the committed PNG icons from zavio.svg after the drawing changes
# (needs rsvg-convert from librsvg2-bin). The build installs and embeds the
# PNGs as they are committed, so building Zavio does not need librsvg.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" zavio.svg --output "zavio-$size.png"
done
