#!/bin/bash
# The main job: builds, installs the plug-in into ~/.vst/, shows what a host sees of it, then makes a demo
# clip, renders it with the default program and writes the result, its loudness summary and (where the
# build can draw the editor offscreen) an editor snapshot into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p "$HOME/.vst"
cp build/lumeric.so "$HOME/.vst/lumeric.so.new"
mv "$HOME/.vst/lumeric.so.new" "$HOME/.vst/lumeric.so"
echo "Installed $HOME/.vst/lumeric.so"
echo
build/tools/lumeric-info/lumeric-info "$HOME/.vst/lumeric.so"

render=build/tools/lumeric-render/lumeric-render
out="$(pwd)/out"
mkdir -p "$out"
echo
"$render" --make-demo "$out/demo.wav" --overwrite
echo "Rendering it with the default program ..."
args=("$out/demo.wav" -o "$out/demo-lumeric.wav" --program 0 --overwrite)
snapshot="$out/demo-editor.png"
if "$render" "${args[@]}" --snapshot "$snapshot" >"$out/loudness-summary.txt" 2>"$out/render-errors.txt"; then
    :
elif grep -q "not available in this build" "$out/render-errors.txt"; then
    snapshot=""
    "$render" "${args[@]}" >"$out/loudness-summary.txt"
else
    cat "$out/render-errors.txt" >&2
    exit 1
fi
rm -f "$out/render-errors.txt"
echo
cat "$out/loudness-summary.txt"
echo
echo "Files in $out/:"
echo "  demo.wav               the demo clip: 10 s of drums, bass and chords"
echo "  demo-lumeric.wav       the clip through program 0, $("$render" --list-programs | sed -n 's/^  0 \* //p')"
echo "  loudness-summary.txt   integrated loudness and true peak before and after"
if [ -n "$snapshot" ]; then
    echo "  demo-editor.png        the editor after processing the clip"
else
    echo "  (no editor snapshot: this build cannot draw the editor offscreen)"
fi
