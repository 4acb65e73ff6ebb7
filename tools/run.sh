#!/usr/bin/env bash
# The main job: builds the plug-in and runs it inside the simulated host, showing what the
# operator and a debug-output viewer see: live at a terminal, as a scripted session elsewhere.
#   tools/run.sh [--log] [--machine] [SESSION-OR-TRACE]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh
for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done
echo "Shipped DLL: build/win32/QUORVAN-9.dll ($(stat -c %s build/win32/QUORVAN-9.dll) bytes)"
if [ $# -eq 0 ] && [ -t 0 ] && [ -t 1 ]; then
    # At a terminal: the live pendant, with keys for the knobs, the enable and the host's controls.
    cmake --preset native >/dev/null
    cmake --build --preset native --target pendant_ui >/dev/null
    exec build/native/pendant_ui --record-dir build/traces
fi
# Elsewhere (CI, pipes), or with arguments: a scripted session, the demo unless one is named.
exec tools/wine-run build/win64/simhost.exe "$@"
