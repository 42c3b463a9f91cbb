#!/usr/bin/env bash
# The plot command against tables the tool really writes: the default family (a picture that is
# not blank, labelled and with a dashed Bound curve, and the one the README shows), no curves,
# "****" gate voltages, the implied-decimal trap in the title, thinning of long and wide tables,
# and the failures it must name.
#   plot_curves_test.sh <mosfet-vi> <plot command> <README picture>
# Exit 77 (skipped) when gnuplot is not installed.
set -uo pipefail
export LC_ALL=C
tool=$(realpath "$1")
plot=$(realpath "$2")
readme_picture=$(realpath "$3")

if ! command -v gnuplot > /dev/null; then
    echo "SKIPPED: gnuplot is not installed (tools/install-deps installs gnuplot-nox)"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0

check() { # check <what> <command...>: one named check
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what" >&2
    fi
}

# A fresh folder holding the table the tool writes for the given seven number fields (none: the
# defaults); prints the folder.
table_for() {
    local folder
    folder=$(mktemp -d "$scratch/case.XXXX")
    if [ $# -gt 0 ]; then
        {
            printf 'edited by hand\r\n'
            printf '%-25s,\r\n' "$@"
            printf '\r\n'
        } > "$folder/MOSFET_input_data.txt"
    fi
    (cd "$folder" && "$tool" > /dev/null) || echo "mosfet-vi failed in $folder" >&2
    echo "$folder"
}

# The pixels of a PNG as "red green blue" lines, row by row, read back by gnuplot itself.
pixels() {
    gnuplot -e "set table '$2'; plot '$1' binary filetype=png with rgbimage; unset table" &&
        awk '$1 !~ /^#/ && NF >= 5 { print $3, $4, $5 }' "$2"
}

# At least n colours, each on at least 200 pixels: axes, text and every curve drawn.
colours_at_least() {
    local n=$1 found
    found=$(pixels "$2" "$scratch/dump" | sort | uniq -c | awk '$1 >= 200' | wc -l)
    [ "$found" -ge "$n" ] || { echo "only $found colours in $2" >&2; return 1; }
}

# The two pictures differ in at most 1 pixel in 1000 (a font update may move a few pixels).
nearly_same_picture() {
    pixels "$1" "$scratch/dump1" > "$scratch/a" && pixels "$2" "$scratch/dump2" > "$scratch/b" &&
        [ "$(wc -l < "$scratch/a")" -eq "$(wc -l < "$scratch/b")" ] &&
        paste -d' ' "$scratch/a" "$scratch/b" |
        awk '$1 != $4 || $2 != $5 || $3 != $6 { d++ } END { exit !(d * 1000 <= NR) }'
}

runs_ok() { # runs_ok <folder> <args...>: the plot command succeeds and writes nothing on stderr
    local folder=$1
    shift
    (cd "$folder" && "$plot" "$@" > "$scratch/out" 2> "$scratch/err") && [ ! -s "$scratch/err" ]
}

fails_with() { # fails_with <message> <args...>: exit status 1, the message on stderr, no picture
    local message=$1
    shift
    (cd "$scratch/failures" && "$plot" "$@" > "$scratch/out" 2> "$scratch/err")
    local status=$?
    [ $status -eq 1 ] && grep -qF "$message" "$scratch/err" && [ ! -s "$scratch/out" ] &&
        [ -z "$(find "$scratch/failures" -name '*.png' -o -name '*.svg')" ]
}

svg_has() { grep -qF "$2" "$1"; }
svg_count() { grep -oF "$2" "$1" | wc -l; }
lines_of() { wc -l < "$1"; }

# Default family: both pictures beside the table, a picture with colour in it, every gate
# voltage labelled, the Bound curve dashed, the parameters in the title.
defaults=$(table_for)
check "defaults: the plot command succeeds quietly" runs_ok "$defaults" -d numbers.txt
check "defaults: the PNG is a PNG" \
    bash -c "head -c 8 '$defaults/MOSFET_transistor_vi.png' | od -An -tx1 | grep -q '89 50 4e 47 0d 0a 1a 0a'"
check "defaults: the PNG is not blank (white, black, grey, the Bound and 7 curves)" \
    colours_at_least 9 "$defaults/MOSFET_transistor_vi.png"
for vg in 2.0 3.0 4.0 5.0 6.0 7.0 8.0; do
    check "defaults: the curve of $vg V is labelled" svg_has "$defaults/MOSFET_transistor_vi.svg" ">$vg V</text>"
done
check "defaults: the Bound curve is labelled" \
    svg_has "$defaults/MOSFET_transistor_vi.svg" "Bound (edge of saturation)"
check "defaults: the Bound curve is dashed" \
    svg_has "$defaults/MOSFET_transistor_vi.svg" "stroke-dasharray"
check "defaults: the title gives the parameters" svg_has "$defaults/MOSFET_transistor_vi.svg" \
    "VTransition 2 V, V_DS_Early 100 V, K_conductance_parameter 0.0008 A/V^2"
check "defaults: every row drawn, nothing thinned" [ "$(lines_of "$defaults/numbers.txt")" -eq 76 ]
check "defaults: the numbers drawn are the table's, empty Bound cells as NaN" \
    bash -c "tail -n +2 '$defaults/MOSFET_transistor_vi.csv' | tr -d '\r' | sed 's/,,/,NaN,/' |
             tr ',' ' ' | cmp -s - '$defaults/numbers.txt'"
check "defaults: the README's picture is the one the plot command makes" \
    nearly_same_picture "$defaults/MOSFET_transistor_vi.png" "$readme_picture"
if ! nearly_same_picture "$defaults/MOSFET_transistor_vi.png" "$readme_picture"; then
    echo "  remake it: (cd <folder of a default run> && <source>/tools/plot-curves -o <source>/docs/default-curves)" >&2
fi

# -o puts both pictures under another name.
mkdir -p "$defaults/other"
check "-o: into an existing folder" runs_ok "$defaults" -o other/name MOSFET_transistor_vi.csv
check "-o: PNG and SVG written" test -s "$defaults/other/name.png" -a -s "$defaults/other/name.svg"

# No curves (NVGate negative): header "VD V,Bound" alone; a picture all the same, saying so.
none=$(table_for 2.0 100.0 0.0008 1.0 -1 1.0 20.0)
check "no curves: the table has no curve" [ "$(head -n 1 "$none/MOSFET_transistor_vi.csv")" = $'VD V,Bound\r' ]
check "no curves: the plot command succeeds quietly" runs_ok "$none"
check "no curves: the picture says there are none" \
    svg_has "$none/MOSFET_transistor_vi.svg" "This table holds no curves (NVGate is negative)."
check "no curves: the PNG is written" test -s "$none/MOSFET_transistor_vi.png"

# No curves, one Bound row: a single point.
point=$(table_for 2.0 100.0 0.0008 0.0 -1 1.0 0.5)
check "one Bound row, no curves: the plot command succeeds quietly" runs_ok "$point"

# Gate voltages that do not fit the header's field: "****", one labelled curve each.
stars=$(table_for 2.0 100.0 0.0008 50.0 3 10.0 400.0)
check "****: the header holds them" grep -qF ',52.0 V,**** V,**** V' "$stars/MOSFET_transistor_vi.csv"
check "****: the plot command succeeds quietly" runs_ok "$stars"
check "****: both curves labelled as in the header" \
    [ "$(svg_count "$stars/MOSFET_transistor_vi.svg" '>**** V</text>')" -eq 2 ]
check "****: the PNG is not blank" colours_at_least 7 "$stars/MOSFET_transistor_vi.png"

# The implied-decimal trap: "1" in the VGDelta field is 1e-15 V, and the title says so.
trap_case=$(table_for 2.0 100.0 0.0008 1 3 1.0 20.0)
check "implied decimals: the plot command succeeds quietly" runs_ok "$trap_case"
check "implied decimals: the title shows the value read and the text typed" \
    svg_has "$trap_case/MOSFET_transistor_vi.svg" 'VGDelta 1e-15 V (typed "1", no decimal point)'

# A long table (90,020 rows): at most 20,000 rows drawn, the first and the last among them,
# every row of the fine triode pass kept, and the title says how many.
long=$(table_for 2.0 100.0 0.0008 1.0 2 0.0002 20.0)
check "long table: the plot command succeeds quietly" runs_ok "$long" -d numbers.txt
check "long table: at most 20,000 rows drawn" [ "$(lines_of "$long/numbers.txt")" -le 20000 ]
check "long table: the first row drawn" \
    [ "$(head -n 1 "$long/numbers.txt")" = "0.000000 0.000000 0.000000 0.000000 0.000000" ]
check "long table: the last row drawn" \
    [ "$(tail -n 1 "$long/numbers.txt" | cut -d' ' -f1)" = "20.0000" ]
check "long table: every Bound row drawn" [ "$(awk '$2 != "NaN"' "$long/numbers.txt" | wc -l)" -eq \
    "$(tail -n +2 "$long/MOSFET_transistor_vi.csv" | cut -d, -f2 | grep -c .)" ]
check "long table: the title says how many rows are drawn" \
    svg_has "$long/MOSFET_transistor_vi.svg" "of 90020 rows drawn)"

# A wide table (100 curves): 21 drawn, the first and the last among them.
wide=$(table_for 2.0 100.0 0.0008 0.1 99 1.0 20.0)
check "wide table: the plot command succeeds quietly" runs_ok "$wide" -d numbers.txt
check "wide table: VD, Bound and 21 curves drawn" [ "$(head -n 1 "$wide/numbers.txt" | wc -w)" -eq 23 ]
check "wide table: the first curve labelled" svg_has "$wide/MOSFET_transistor_vi.svg" ">2.0 V</text>"
check "wide table: the last curve labelled" svg_has "$wide/MOSFET_transistor_vi.svg" ">11.9 V</text>"
check "wide table: the title says how many curves are drawn" \
    svg_has "$wide/MOSFET_transistor_vi.svg" "(21 of 100 curves drawn)"

# Failures: named on stderr, exit status 1, no picture.
mkdir -p "$scratch/failures/folder.csv"
printf 'hello\r\n' > "$scratch/failures/other.csv"
: > "$scratch/failures/empty.csv"
check "missing default table" fails_with "no curve table 'MOSFET_transistor_vi.csv'"
check "missing table given" fails_with "no curve table 'absent.csv'" absent.csv
check "a folder" fails_with "'folder.csv' is a folder, not a curve table" folder.csv
check "an empty file" fails_with "'empty.csv' is empty, not a mosfet-vi curve table" empty.csv
check "another file" fails_with "'other.csv' is not a mosfet-vi curve table" other.csv
check "no folder for the pictures" \
    fails_with "no folder 'nowhere' for the pictures" -o nowhere/x "$defaults/MOSFET_transistor_vi.csv"
if [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
    # Root reads every file: drop to nobody for an unreadable one, with a copy of the plot
    # command that nobody can reach wherever the source tree is.
    cp "$defaults/MOSFET_transistor_vi.csv" "$scratch/failures/locked.csv"
    chmod 000 "$scratch/failures/locked.csv"
    cp "$plot" "$scratch/plot-curves"
    chmod 755 "$scratch" "$scratch/failures" "$scratch/plot-curves"
    check "an unreadable table" bash -c "cd '$scratch/failures' &&
        ! setpriv --reuid=nobody --regid=nogroup --clear-groups '$scratch/plot-curves' locked.csv 2> '$scratch/err' &&
        grep -qF \"cannot read 'locked.csv': permission denied\" '$scratch/err'"
fi
check "a wrong option: exit status 2" bash -c "'$plot' -x > /dev/null 2>&1; [ \$? -eq 2 ]"

echo "plot command: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
