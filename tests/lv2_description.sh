#!/bin/bash
# What LV2 hosts read from the bundle (lv2ls, lv2info) against what a VST host reads from the module
# (lumeric-info): the parameters as control inputs 0..1 with the same names and, as defaults, the values the
# module starts with; symbols made from the names (lower case, numbered from the second of a name on); two
# audio inputs and two outputs; the named factory programs as presets.
# Usage: lv2_description.sh LUMERIC-INFO VST-MODULE PLUGIN-URI (with LV2_PATH naming the bundle's folder)
set -euo pipefail
info=$(lv2info "$3")
vst=$("$1" "$2")
lv2ls | grep -qxF "$3" || { echo "lv2ls does not list $3" >&2; exit 1; }

# One line per port: index, kind and direction, then for a control its symbol, range, default and name.
seen_ports=$(awk '
    function emit() {
        if (port == "") return
        printf "%s %s %s", port, kind, direction
        if (kind == "control") printf " %s %s..%s %.1f %% %s", symbol, minimum, maximum, default_ * 100, name
        printf "\n"
    }
    /^\tPort [0-9]+:$/ { emit(); port = $2 + 0; kind = direction = "" }
    /#ControlPort$/ { kind = "control" }
    /#AudioPort$/ { kind = "audio" }
    /#InputPort$/ { direction = "in" }
    /#OutputPort$/ { direction = "out" }
    /^\t\tSymbol:/ { symbol = $2 }
    /^\t\tMinimum:/ { minimum = $2 }
    /^\t\tMaximum:/ { maximum = $2 }
    /^\t\tDefault:/ { default_ = $2 }
    /^\t\tName:/ { sub(/^\t\tName: +/, ""); name = $0 }
    END { emit() }' <<<"$info")
expected_ports=$(sed -n '/^Parameters/,/^$/p' <<<"$vst" | awk '
    $1 ~ /^[0-9]+$/ {
        base = tolower($2); count[base]++
        symbol = count[base] > 1 ? base "_" count[base] : base
        printf "%d control in %s 0.000000..1.000000 %s %s %s\n", $1, symbol, $3, $4, $2; last = $1
    }
    END { printf "%d audio in\n%d audio in\n%d audio out\n%d audio out\n", last + 1, last + 2, last + 3, last + 4 }')
diff <(echo "$expected_ports") <(echo "$seen_ports")

# The presets, in any order: the first 73 programs of a fresh module (the named factory programs).
seen_presets=$(sed -n '/^\tPresets:/,/^\t[A-Z]/p' <<<"$info" | sed -n 's/^\t         //p' | sort)
expected_presets=$(sed -n '/^Programs/,$p' <<<"$vst" | sed -n 's/^ *[0-9]\+  //p' | head -73 | sort)
diff <(echo "$expected_presets") <(echo "$seen_presets")
echo "lv2info shows the module's $(grep -c control <<<"$seen_ports") parameters, 4 audio ports and $(wc -l <<<"$seen_presets") presets"
