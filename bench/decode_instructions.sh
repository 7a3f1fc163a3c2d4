#!/usr/bin/env bash
# Instructions per decoded frame, counted by callgrind: a repeatable figure on a shared machine.
#
#   bench/decode_instructions.sh [frames folder] [build folder]
#
# Decodes every .hex frame of the folder (tests/data/frames/real by default) the way the engine
# does (DecodeMBusData with a handler) once and then 11 times; prints the count of the first pass
# (with the one-time set-up) and the steady count per frame (the difference of the two runs).
#
# With LIBMBUS=<source folder of libmbus> it also counts libmbus on the same frames
# (mbus_parse, mbus_frame_data_parse, mbus_parse_variable_record for every record), built with
# gcc -O2 in a temporary folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
frames="${1:-$here/../tests/data/frames/real}"
build="${2:-$here/../build}"
bench="$build/bench/bench_decode"
command -v valgrind >/dev/null || { echo "valgrind is not installed (apt-get install valgrind)" >&2; exit 1; }
[ -x "$bench" ] || { echo "$bench is missing: cmake --build $build --target bench_decode" >&2; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# count <passes> <toggle pattern> <program> <args...>: the instructions inside the toggled function.
count() {
  local passes="$1" fn="$2"
  shift 2
  REPS="$passes" valgrind --tool=callgrind --callgrind-out-file="$tmp/cg.out" \
    --toggle-collect="$fn" "$@" >"$tmp/stdout" 2>"$tmp/stderr" ||
    { cat "$tmp/stderr" >&2; exit 1; }
  sed -n 's/^==[0-9]*== Collected : //p' "$tmp/stderr"
}

report() {
  local name="$1" n="$2" one="$3" eleven="$4"
  echo "$name: $n frames; first pass $((one / n)) instructions per frame," \
       "steady $(((eleven - one) / (10 * n))) instructions per frame"
}

n=$(ls "$frames"/*.hex | wc -l)
one=$(count 1 '*DecodePasses*' "$bench" --passes=1 "$frames")
eleven=$(count 11 '*DecodePasses*' "$bench" --passes=11 "$frames")
report "nord5 DecodeMBusData" "$n" "$one" "$eleven"

if [ -n "${LIBMBUS:-}" ]; then
  cat >"$tmp/drive.c" <<'EOF'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <mbus/mbus.h>
#include <mbus/mbus-protocol-aux.h>

static unsigned char bins[256][4096];
static size_t lens[256];
static int nframes;

__attribute__((noinline)) int decode_all(void) {
  int records = 0;
  for (int i = 0; i < nframes; ++i) {
    mbus_frame reply;
    mbus_frame_data data;
    memset(&reply, 0, sizeof reply);
    memset(&data, 0, sizeof data);
    if (mbus_parse(&reply, bins[i], lens[i]) != 0) continue;
    if (mbus_frame_data_parse(&reply, &data) != 0) continue;
    if (data.type == MBUS_DATA_TYPE_VARIABLE)
      for (mbus_data_record *r = data.data_var.record; r; r = r->next) {
        mbus_record *m = mbus_parse_variable_record(r);
        if (m) { ++records; mbus_record_free(m); }
      }
    if (data.data_var.record) mbus_data_record_free(data.data_var.record);
  }
  return records;
}

int main(int argc, char **argv) {
  for (int a = 1; a < argc && nframes < 256; ++a) {
    FILE *fp = fopen(argv[a], "r");
    if (!fp) continue;
    unsigned char raw[4096] = {0};
    size_t n = fread(raw, 1, sizeof raw - 1, fp);
    fclose(fp);
    lens[nframes] = mbus_hex2bin(bins[nframes], sizeof bins[0], raw, n);
    ++nframes;
  }
  int reps = getenv("REPS") ? atoi(getenv("REPS")) : 1;
  int records = 0;
  for (int r = 0; r < reps; ++r) records = decode_all();
  printf("frames %d records %d\n", nframes, records);
  return 0;
}
EOF
  # Sources only; mbus.c wants the ../config.h that configure writes.
  mkdir -p "$tmp/src/mbus" && cp "$LIBMBUS"/mbus/*.[ch] "$tmp/src/mbus/"
  echo '#define VERSION "libmbus"' >"$tmp/src/config.h"
  gcc -O2 -w -I"$tmp/src" -o "$tmp/drive" "$tmp/drive.c" "$tmp"/src/mbus/*.c -lm
  one=$(count 1 decode_all "$tmp/drive" "$frames"/*.hex)
  eleven=$(count 11 decode_all "$tmp/drive" "$frames"/*.hex)
  report "libmbus" "$n" "$one" "$eleven"
fi
