#!/bin/sh
# Peak memory of `quorlen-cli analyze` over a folder of tiny scans whose
# headers claim huge pictures. Usage:
#   bench/huge-header-memory.sh CLI COUNT WIDTH HEIGHT [analyze options...]
# e.g. bench/huge-header-memory.sh build/src/cli/quorlen-cli 96 65500 65500
#      bench/huge-header-memory.sh build/src/cli/quorlen-cli 48 15000 15000 --raster-budget 64
# Writes COUNT PNG and COUNT run-length BMP files (a few dozen bytes each)
# and prints the "Maximum resident set size" of the run. Needs python3.
set -eu
cli=$1 count=$2 width=$3 height=$4
shift 4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 - "$dir" "$count" "$width" "$height" <<'PY'
import struct, sys, zlib
folder, count, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 0, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(b"\0" * 9 * 8)) + chunk(b"IEND", b""))
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 1, 4, 2835, 2835, 2, 0) + struct.pack("<II", 0, 0xFFFFFF)
data = b"\x01\x00\x00\x00"  # one pixel, end of line, no end of bitmap
bmp = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 14 + len(info)) + info + data
for i in range(count):
    open("%s/s%04d.png" % (folder, i), "wb").write(png)
    open("%s/s%04d.bmp" % (folder, i), "wb").write(bmp)
PY
/usr/bin/time -v "$cli" analyze "$dir" --questions 3 --pause-us 0 "$@" 2>&1 >/dev/null |
    grep -E "Maximum resident set size|Elapsed"
