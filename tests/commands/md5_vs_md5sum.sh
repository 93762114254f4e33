#!/usr/bin/env bash
# md5Hex and GNU md5sum agree on a large random file.
#   md5_vs_md5sum.sh WINE_WRAPPER MD5_FILE_EXE WORK_DIR
set -euo pipefail
wine_wrapper=$1 exe=$2 work=$3
file=$work/md5-random.bin
head -c $((48 * 1024 * 1024 + 37)) /dev/urandom > "$file"
expected=$(md5sum "$file" | cut -d' ' -f1)
actual=$("$wine_wrapper" "$exe" "Z:$(echo "$file" | tr / '\\')" | tr -d '\r' | cut -d' ' -f1)
rm -f "$file"
echo "md5sum $expected"
echo "md5Hex $actual"
[ -n "$expected" ] && [ "$expected" = "$actual" ]
