#!/bin/sh
# Takes docs/main-window.png: runs nord5-config under xvfb-run with a private data folder, reads
# the full configuration from the built-in virtual meter and lets the program save a picture of
# its window (the NORD5_SCREENSHOT* variables are for this script and the tests only).
#
#   tools/screenshot.sh [build-dir] [output.png] [tab]
# tab: page index shown (0 "Actual" .. ); SCREENSHOT_ADVANCED=1 shows the advanced pages too.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$here/docs/main-window.png}
tab=${3:-0}
exe=$build/bin/nord5-config
[ -x "$exe" ] || { echo "build nord5-config first (make build)" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/data" "$(dirname "$out")"
# A private data folder and socket folder, so a running configurator is neither disturbed nor
# asked to come to the front.
XDG_DATA_HOME=$tmp/data TMPDIR=$tmp \
NORD5_SCREENSHOT=$out NORD5_SCREENSHOT_READ=1 NORD5_SCREENSHOT_TAB=$tab \
NORD5_SCREENSHOT_ADVANCED=${SCREENSHOT_ADVANCED:-0} \
  timeout 180 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$exe"
[ -s "$out" ] || { echo "no picture was written" >&2; exit 1; }
echo "wrote $out"
