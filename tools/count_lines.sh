#!/bin/sh
# Lines of code in the program and in its tests: .cpp, .h, .py and .sh files under src/, and under
# tests/ and fuzz/ (test data and samples are not code). Prints both and the tests' share.
cd "$(dirname "$0")/.." || exit 1
count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \) -print0 |
        xargs -0 cat | wc -l
}
program=$(count src)
tests=$(count tests fuzz)
echo "program (src/):          $program lines"
echo "tests (tests/, fuzz/):   $tests lines"
awk -v t="$tests" -v p="$program" 'BEGIN { printf "share of the tests:      %.1f %%\n", 100 * t / (t + p) }'
