#!/bin/bash
# Cheap checks CI runs before building: the house format, the include layers and the test-size budget.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
echo "format: clean"
bash scripts/check-layers.sh
bash scripts/check-test-size.sh
