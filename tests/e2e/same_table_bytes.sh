#!/usr/bin/env bash
# Runs mosfet-vi on the benchmark workload (19 curves, 410,180 rows, 67.4 MB) in a scratch
# folder and checks that the curve table is byte for byte the one it has always been.
#   same_table_bytes.sh <path to mosfet-vi>
set -euo pipefail
tool=$(realpath "$1")
expected=d1e72de952c2d8f558e3624157bf2deca6db99719c4cd9aba0e8892ea6e7703f

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
printf '%s\r\n' "benchmark workload" \
    "2.0                      ," "100.0                    ," "0.0008                   ," \
    "0.5                      ," "18                       ," "0.0001                   ," \
    "50.0                     ," "" > MOSFET_input_data.txt
"$tool" > /dev/null
actual=$(sha256sum MOSFET_transistor_vi.csv | cut -d' ' -f1)
if [ "$actual" != "$expected" ]; then
    echo "workload table changed: sha256 $actual, expected $expected" >&2
    exit 1
fi
echo "workload table: $(wc -c < MOSFET_transistor_vi.csv) bytes, unchanged"
