#!/usr/bin/env bash
# The configuration dialog on a virtual X display: the host's Config runs through the real DLL,
# the screen is photographed once the dialog is painted (the picture is kept as a test
# artefact), then the program closes the dialog with Return and checks that Config came back
# with the dialog's result.
#   config_dialog_shot.sh <build-dir> <picture.png>
set -euo pipefail
build=$(cd "$1" && pwd)
picture=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
if [ -z "${QV_ON_VIRTUAL_DISPLAY:-}" ]; then
    # Make the Wine prefix first, without a display, so no first-run window joins the picture.
    [ -f "$WINEPREFIX/system.reg" ] || DISPLAY= "$root/tools/wine-run" cmd /c exit >/dev/null 2>&1 || true
    # With no window manager on the virtual display, Wine draws the caption bar itself.
    DISPLAY= "$root/tools/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
    # A Wine session still running from a program without a display keeps its desktop without
    # one: wait until it has ended, so the dialog gets the virtual display.
    "$wineserver" -w
    status=0
    env QV_ON_VIRTUAL_DISPLAY=1 xvfb-run -a -s "-screen 0 800x600x24" bash "${BASH_SOURCE[0]}" "$build" "$picture" || status=$?
    "$wineserver" -w
    exit $status
fi

mkdir -p "$(dirname "$picture")"
rm -f "$picture"
coproc SHOT { "$root/tools/wine-run" "$build/config_dialog_shot.exe" 2>/dev/null; }
pid=$SHOT_PID
exec {from}<&"${SHOT[0]}" {to}>&"${SHOT[1]}"

status=0
if read -r first <&"$from"; then
    echo "$first"
    case "$first" in
        shown*)
            # The dialog has been painted; wait until the X server shows its window too.
            xdotool search --sync --onlyvisible --name "^QUORVAN-9 Configuration" >/dev/null
            import -window root "$picture" || status=1
            ;;
        *) status=1 ;;
    esac
else
    echo "FAIL: the program ended before the dialog was shown"
    status=1
fi
echo taken >&"$to"
exec {to}>&-
cat <&"$from"
wait "$pid" || status=1

if [ -s "$picture" ]; then
    colours=$(identify -format '%k' "$picture")
    echo "picture: $picture ($(identify -format '%wx%h' "$picture"), $colours colours)"
    [ "$colours" -gt 2 ] || { echo "FAIL: the picture is blank"; status=1; }
else
    echo "FAIL: no picture"
    status=1
fi
[ $status -eq 0 ] && echo "PASS: config dialog shown, photographed and closed with OK" || echo "FAIL: config dialog"
exit $status
