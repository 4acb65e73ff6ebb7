#!/usr/bin/env bash
# The main job: builds the plug-in and runs it inside the simulated host, showing what the
# operator and a debug-output viewer see.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh
for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done
echo "Shipped DLL: build/win32/QUORVAN-9.dll ($(stat -c %s build/win32/QUORVAN-9.dll) bytes)"
exec tools/wine-run build/win64/simhost.exe "$@"
