#!/usr/bin/env bash
# Prints the line counts of the tracked files: the source (src/ and tools/: .cpp, .h, .py, .rc
# and .def), the tests (tests/: the same kinds and the build files), and the tests as a share of
# the source. The figures change with every commit, so they are printed, never kept in a text.
set -euo pipefail
cd "$(dirname "$0")/.."
lines() { git ls-files "$@" | grep -E "$pattern" | tr '\n' '\0' | xargs -0 cat | wc -l; }
pattern='\.(cpp|h|py|rc|def)$'
source_lines=$(lines src tools)
pattern='\.(cpp|h|py|rc|def)$|CMakeLists\.txt$'
test_lines=$(lines tests)
printf 'source (src/, tools/)  %6d lines\n' "$source_lines"
printf 'tests (tests/)         %6d lines, %s%% of the source\n' "$test_lines" \
  "$(awk -v t="$test_lines" -v s="$source_lines" 'BEGIN {printf "%.1f", 100 * t / s}')"
