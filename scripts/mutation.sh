#!/bin/bash
# Plants realistic one-line faults (scripts/mutants.txt), one at a time, in a scratch copy of the working
# tree; rebuilds incrementally, runs the test suite and prints each mutant's fate, then `killed K of N`.
# Usage: bash scripts/mutation.sh [FILTER]   (FILTER: only mutants whose line contains this text)
# Environment: MUTATION_DIR (scratch folder, default /tmp/lumeric-mutation), MUTATION_TIMEOUT (seconds per
# test, default 300), MUTANTS (list file, default scripts/mutants.txt), MUTATION_CTEST (extra ctest
# arguments, e.g. "-E memcheck" to leave out the slow valgrind runs).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scratch=${MUTATION_DIR:-/tmp/lumeric-mutation}
list=${MUTANTS:-$top/scripts/mutants.txt}
filter=${1:-}
timeout=${MUTATION_TIMEOUT:-300}
read -r -a extra <<<"${MUTATION_CTEST:-}"

bash scripts/install-deps.sh
mkdir -p "$scratch/src"
# Mirror the working tree (tracked and untracked, not ignored files); only changed files get new times,
# so the scratch build stays incremental between runs.
git ls-files -co --exclude-standard -z | rsync -rl --checksum --from0 --files-from=- ./ "$scratch/src/"
# Files gone from the working tree go from the mirror too: the build globs its folders.
comm -23 <(cd "$scratch/src" && find . -type f -printf '%P\n' | sort) <(git ls-files -co --exclude-standard | sort) |
    (cd "$scratch/src" && xargs -r -d '\n' rm -f)
# A run stopped mid-mutant leaves that file's object built from the mutant: rebuild it.
if [ -f "$scratch/mutated" ]; then touch "$scratch/src/$(cat "$scratch/mutated")"; rm -f "$scratch/mutated"; fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DLUMERIC_BENCH=OFF "${launcher[@]}" >/dev/null
echo "building the unmutated tree ..."
cmake --build "$scratch/build" -j"$(nproc)" >"$scratch/build.log" 2>&1 || { tail -20 "$scratch/build.log"; exit 1; }
(cd "$scratch/build" && ctest -j"$(nproc)" --timeout "$timeout" "${extra[@]}" >"$scratch/clean.log" 2>&1) ||
    { echo "the unmutated suite fails; see $scratch/clean.log"; exit 1; }

killed=0
total=0
stale=0
while IFS= read -r line; do
    [[ -z "${line// /}" || "$line" == \#* ]] && continue
    [[ -n "$filter" && "$line" != *"$filter"* ]] && continue
    IFS=$'\x1f' read -r file original replacement note < <(python3 -c '
import sys
parts = [p.strip() for p in sys.argv[1].split("@@")]
print("\x1f".join(parts + [""] * (4 - len(parts))))' "$line")
    target="$scratch/src/$file"
    label="$(printf '%-28s %s' "$file" "$note")"
    cp "$target" "$scratch/original"
    echo "$file" >"$scratch/mutated"
    if ! python3 - "$target" "$original" "$replacement" <<'EOF'; then
import sys
path, original, replacement = sys.argv[1:4]
try:
    text = open(path).read()
except OSError:
    sys.exit(1)
if text.count(original) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(original, replacement))
EOF
        echo "STALE     $label (the original text is not found exactly once)"
        stale=$((stale + 1))
        continue
    fi
    if ! cmake --build "$scratch/build" -j"$(nproc)" >"$scratch/mutant-build.log" 2>&1; then
        echo "NO BUILD  $label (not counted)"
    elif (cd "$scratch/build" && ctest -j"$(nproc)" --timeout "$timeout" --stop-on-failure "${extra[@]}" \
        >"$scratch/mutant-test.log" 2>&1); then
        total=$((total + 1))
        echo "SURVIVED  $label"
    else
        total=$((total + 1))
        killed=$((killed + 1))
        by=$(grep -oE '[0-9]+ - [A-Za-z_0-9]+ \(' "$scratch/mutant-test.log" | sed -E 's/^[0-9]+ - | \($//g' |
            head -3 | xargs)
        echo "killed    $label   [${by:-?}]"
    fi
    cp "$scratch/original" "$target"
    rm -f "$scratch/mutated"
done <"$list"
# Rebuild the clean tree so that the next run starts from it.
cmake --build "$scratch/build" -j"$(nproc)" >/dev/null 2>&1 || true
[ "$stale" -eq 0 ] || echo "$stale mutants are stale: their original text moved; update $list"
echo "killed $killed of $total"
