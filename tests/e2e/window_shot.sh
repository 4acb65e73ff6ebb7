#!/usr/bin/env bash
# A window of the plug-in on a virtual X display, photographed: the program (config_dialog_shot
# or alert_203_shot) runs the real DLL in the simulated host and prints "shown <caption>" once
# its window is painted; the X server must then show a window of exactly that caption, the
# screen is photographed (the picture is kept as a test artefact), and the program, told so,
# closes its window and makes its own checks.
#   window_shot.sh <build-dir> <program> <caption> <picture.png>
set -euo pipefail
build=$(cd "$1" && pwd)
program=$2
caption=$3
picture=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
if [ -z "${QV_ON_VIRTUAL_DISPLAY:-}" ]; then
    # Make the Wine prefix first, without a display, so no first-run window joins the picture.
    [ -f "$WINEPREFIX/system.reg" ] || DISPLAY= "$root/tools/wine-run" cmd /c exit >/dev/null 2>&1 || true
    # With no window manager on the virtual display, Wine draws the caption bar itself.
    DISPLAY= "$root/tools/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
    # A Wine session still running from a program without a display keeps its desktop without
    # one: wait until it has ended, so the window gets the virtual display.
    "$wineserver" -w
    status=0
    env QV_ON_VIRTUAL_DISPLAY=1 xvfb-run -a -s "-screen 0 800x600x24" \
        bash "${BASH_SOURCE[0]}" "$build" "$program" "$caption" "$picture" || status=$?
    "$wineserver" -w
    exit $status
fi

mkdir -p "$(dirname "$picture")"
rm -f "$picture"
coproc SHOT { "$root/tools/wine-run" "$build/$program.exe" 2>/dev/null; }
pid=$SHOT_PID
exec {from}<&"${SHOT[0]}" {to}>&"${SHOT[1]}"

status=0
shown=
while read -r line <&"$from"; do
    echo "$line"
    case "$line" in
        shown*) shown=yes; break ;;
    esac
done
if [ -n "$shown" ]; then
    # The window has been painted; wait until the X server shows it too, under the caption.
    pattern="^$(printf '%s' "$caption" | sed 's/[][\.*^$(){}?+|/]/\\&/g')\$"
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "$pattern" | head -n 1) || true
    if [ -n "$window" ]; then
        name=$(xdotool getwindowname "$window")
        if [ "$name" = "$caption" ]; then
            echo "ok: the X server shows the window '$name'"
        else
            echo "FAIL: the X server names the window '$name', not '$caption'"
            status=1
        fi
        import -window root "$picture" || status=1
    else
        echo "FAIL: no window '$caption' on the X display"
        status=1
    fi
else
    echo "FAIL: the program ended before its window was shown"
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
[ $status -eq 0 ] && echo "PASS: '$caption' shown, photographed and closed" || echo "FAIL: '$caption'"
exit $status
