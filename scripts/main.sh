#!/bin/bash
# The main job: builds, installs the plug-in into ~/.vst/ and its LV2 edition into ~/.lv2/, shows what a host
# sees of it, then makes a demo clip, renders it with the default program and writes the result, its loudness
# summary and an editor snapshot into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p "$HOME/.vst"
cp build/lumeric.so "$HOME/.vst/lumeric.so.new"
mv "$HOME/.vst/lumeric.so.new" "$HOME/.vst/lumeric.so"
echo "Installed $HOME/.vst/lumeric.so"
# The bundle is copied next to ~/.lv2/ (where no host looks) and moved in whole.
mkdir -p "$HOME/.lv2"
rm -rf "$HOME/.lumeric.lv2.new" "$HOME/.lumeric.lv2.old"
mkdir "$HOME/.lumeric.lv2.new"
cp build/lv2-bundles/lumeric.lv2/{manifest.ttl,lumeric.ttl,presets.ttl,lumeric.so} "$HOME/.lumeric.lv2.new/"
if [ -e "$HOME/.lv2/lumeric.lv2" ]; then mv "$HOME/.lv2/lumeric.lv2" "$HOME/.lumeric.lv2.old"; fi
mv "$HOME/.lumeric.lv2.new" "$HOME/.lv2/lumeric.lv2"
rm -rf "$HOME/.lumeric.lv2.old"
echo "Installed $HOME/.lv2/lumeric.lv2; LV2 hosts list it as: $(lv2ls | grep -F lumeric.example)"
echo
build/tools/lumeric-info/lumeric-info "$HOME/.vst/lumeric.so"

render=build/tools/lumeric-render/lumeric-render
out="$(pwd)/out"
mkdir -p "$out"
echo
"$render" --make-demo "$out/demo.wav" --overwrite
echo "Rendering it with the default program ..."
args=("$out/demo.wav" -o "$out/demo-lumeric.wav" --program 0 --overwrite)
"$render" "${args[@]}" --snapshot "$out/demo-editor.png" >"$out/loudness-summary.txt"
echo
cat "$out/loudness-summary.txt"
echo
echo "Files in $out/:"
echo "  demo.wav               the demo clip: 10 s of drums, bass and chords"
echo "  demo-lumeric.wav       the clip through program 0, $("$render" --list-programs | sed -n 's/^  0 \* //p')"
echo "  loudness-summary.txt   integrated loudness and true peak before and after"
echo "  demo-editor.png        the editor (spectrum analyser) after processing the clip"
