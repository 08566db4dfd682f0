#!/bin/bash
# Configures and builds everything into build/ (warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLUMERIC_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
