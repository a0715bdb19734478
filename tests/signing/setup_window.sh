#!/usr/bin/env bash
# Starts a package under Wine, inside an X server, and prints what the setup showed first:
#   "wizard"          the wizard's window (then the prefix's programs are ended);
#   "message exit N"  a message box, closed with Enter, and the setup's exit code in full (read
#                     by RUNWAIT, VnRunWait.exe of the Windows build);
#   "no window"       nothing within two minutes (the screen is saved as SCREENSHOT).
#
# usage: setup_window.sh PACKAGE SCREENSHOT
#   (WINE, WINESERVER, WINEPREFIX and RUNWAIT set; the prefix opens its programs in a virtual
#   desktop)
set -uo pipefail
title='Setup of Vantro Mail Server 3.08'

# Prints "KIND WINDOW" for the first window with the setup's title. Both kinds carry it; Wine
# marks the wizard's minimize box in the Motif hints (MWM_FUNC_MINIMIZE in their functions
# field), a message box has none.
setup_window() {
    local window functions
    for window in $(xdotool search --name "^$title\$" 2>/dev/null); do
        functions=$(xprop -id "$window" _MOTIF_WM_HINTS |
            sed -n 's/^.* = [^,]*, \([^,]*\),.*$/\1/p')
        [ -n "$functions" ] || continue
        if [ $((functions & 8)) != 0 ]; then echo "wizard $window"; else echo "message $window"; fi
        return 0
    done
    return 1
}

code=$(mktemp)
"$WINE" "$RUNWAIT" "Z:${1//\//\\}" 2>/dev/null | tr -d '\r' >"$code" &
setup=$!
for i in $(seq 1 120); do
    shown=$(setup_window) && break
    sleep 1
done
case "$shown" in
wizard*)
    echo wizard
    "$WINESERVER" -k
    ;;
message*)
    # The box takes the keyboard once it is clicked.
    xdotool mousemove --window "${shown#message }" 20 40 click 1
    sleep 1
    xdotool key Return
    wait "$setup"
    echo "message exit $(cat "$code")"
    ;;
*)
    echo "no window"
    import -window root "$2"
    "$WINESERVER" -k
    ;;
esac
wait "$setup" 2>/dev/null
rm -f "$code"
"$WINESERVER" -w
