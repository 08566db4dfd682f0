#!/bin/bash
# Fails when a lower layer includes from a higher one: the widget layer (gui/) and the signal processing
# (dsp/) use nothing of ours but support/ (gui/ only), and support/ uses nothing else of ours.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
# check FOLDER FORBIDDEN...: every #include "X/..." in FOLDER whose X is one of FORBIDDEN is an error.
check() {
    local folder=$1
    shift
    local pattern
    pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($(IFS='|'; echo "$*"))/"
    local found
    if found=$(grep -rnE --include='*.h' --include='*.cpp' "$pattern" "$folder"); then
        echo "$folder/ must not include from $*:"
        echo "$found" | sed 's/^/    /'
        status=1
    fi
}

check gui host engine editor presets tools dsp
check dsp host engine editor presets tools gui support
check support host engine editor presets tools gui dsp

if [ "$status" -eq 0 ]; then
    echo "Layers: gui/, dsp/ and support/ include only what they may."
fi
exit "$status"
