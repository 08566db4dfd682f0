#!/bin/bash
# Installs the Debian packages the build, the tests and the tools need (listed in .ci/packages.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t packages < <(grep -v '^\s*\(#\|$\)' .ci/packages.txt)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
