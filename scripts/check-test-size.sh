#!/bin/bash
# Fails when the tests outgrow their budget: non-blank lines of .cpp/.h under tests/ against those of all
# other code, at most LIMIT_NUM/LIMIT_DEN of it.
set -euo pipefail
cd "$(dirname "$0")/.."
LIMIT_NUM=1
LIMIT_DEN=3
count() { git ls-files -co --exclude-standard -- "$@" | xargs -r cat | grep -cv '^[[:space:]]*$' || true; }
tests=$(count 'tests/*.cpp' 'tests/*.h')
code=$(count '*.cpp' '*.h' ':!tests/')
echo "test lines: $tests, other code lines: $code (limit: $LIMIT_NUM/$LIMIT_DEN of the code)"
if [ $((tests * LIMIT_DEN)) -gt $((code * LIMIT_NUM)) ]; then
    echo "the tests have outgrown their budget: keep them at most $LIMIT_NUM/$LIMIT_DEN of the code" >&2
    exit 1
fi
