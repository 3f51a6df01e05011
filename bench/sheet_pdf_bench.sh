#!/bin/sh
# Writing a collection PDF: `patchlens --sheet-pdf` on folders of 100 and 500 realistic patches (the
# samples, copied round and round), timed and measured with /usr/bin/time -v. Prints the wall time
# per page and the peak memory (maximum resident set) of each run, and the cost of each page
# beyond the first hundred.
#
#   bench/sheet_pdf_bench.sh                     # uses build/default/src/app/patchlens
#   PATCHLENS=build/other/src/app/patchlens bench/sheet_pdf_bench.sh
#
# Settings (environment): PATCHLENS (the program), WORK (where the folders and PDFs go, default
# build/sheet-pdf-bench), COUNTS (the collection sizes, default "100 500"), RUNS (runs per size,
# the fastest counts; default 3). Installs the Debian package time when /usr/bin/time is missing.
set -eu

cd "$(dirname "$0")/.."
PATCHLENS=${PATCHLENS:-build/default/src/app/patchlens}
WORK=${WORK:-build/sheet-pdf-bench}
COUNTS=${COUNTS:-100 500}
RUNS=${RUNS:-3}

[ -x /usr/bin/time ] || tools/install-debian-packages.sh time poppler-utils
if [ ! -x "$PATCHLENS" ]; then
    echo "$PATCHLENS not found: build it first (make build, or set PATCHLENS)" >&2
    exit 1
fi

mkdir -p "$WORK"
set -- samples/*.rp350p
for count in $COUNTS; do
    folder="$WORK/patches-$count"
    rm -rf "$folder"
    mkdir -p "$folder"
    i=0
    while [ "$i" -lt "$count" ]; do
        for sample in "$@"; do
            [ "$i" -lt "$count" ] || break
            i=$((i + 1))
            cp "$sample" "$folder/$(printf '%04d' "$i") $(basename "$sample")"
        done
    done
done

printf '%-6s %12s %14s %16s\n' pages "total ms" "ms per page" "peak memory KB"
previous_pages=""
previous_ms=""
for count in $COUNTS; do
    best_ms=""
    best_kb=""
    run=0
    while [ "$run" -lt "$RUNS" ]; do
        run=$((run + 1))
        /usr/bin/time -v -o "$WORK/time.txt" "$PATCHLENS" --sheet-pdf "$WORK/collection-$count.pdf" \
            "$WORK/patches-$count"
        ms=$(awk -F': ' '/Elapsed \(wall clock\)/ {
                n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%d", s * 1000 }' \
            "$WORK/time.txt")
        kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt")
        if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; fi
        if [ -z "$best_kb" ] || [ "$kb" -gt "$best_kb" ]; then best_kb=$kb; fi
    done
    pages=$(pdfinfo "$WORK/collection-$count.pdf" | awk '/^Pages:/ { print $2 }')
    if [ "$pages" -ne "$count" ]; then
        echo "the PDF of $count patches has $pages pages" >&2
        exit 1
    fi
    printf '%-6s %12s %14s %16s\n' "$count" "$best_ms" \
        "$(awk -v t="$best_ms" -v n="$count" 'BEGIN { printf "%.2f", t / n }')" "$best_kb"
    if [ -n "$previous_ms" ]; then
        echo "each page beyond the first $previous_pages: $(awk -v a="$previous_ms" -v b="$best_ms" \
            -v m="$previous_pages" -v n="$count" 'BEGIN { printf "%.2f", (b - a) / (n - m) }') ms"
    fi
    previous_pages=$count
    previous_ms=$best_ms
done
