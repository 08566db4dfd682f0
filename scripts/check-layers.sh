#!/bin/bash
# Fails when a lower layer includes from a higher one: the widget layer (gui/) and the signal processing
# (dsp/) use nothing of ours but support/ (gui/ only), support/ uses nothing else of ours, and the effect
# uses nothing of the LV2 edition or the tools.
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

check gui host engine editor presets tools dsp lv2
check dsp host engine editor presets tools gui support lv2
check support host engine editor presets tools gui dsp lv2
# The LV2 edition wraps the finished effect from above: nothing of the effect reaches up to it.
for folder in host engine presets editor; do check "$folder" lv2 tools; done

if [ "$status" -eq 0 ]; then
    echo "Layers: gui/, dsp/, support/ and the effect below lv2/ include only what they may."
fi
exit "$status"
