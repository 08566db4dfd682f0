#!/bin/bash
# The main job: builds, installs the plug-in into ~/.vst/ and shows what a host sees of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p "$HOME/.vst"
cp build/lumeric.so "$HOME/.vst/lumeric.so.new"
mv "$HOME/.vst/lumeric.so.new" "$HOME/.vst/lumeric.so"
echo "Installed $HOME/.vst/lumeric.so"
echo
build/tools/lumeric-info/lumeric-info "$HOME/.vst/lumeric.so"
