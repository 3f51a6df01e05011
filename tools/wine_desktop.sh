# Sourced by the scripts that run the Windows program under wine: finds wine, and starts a desktop
# (Xvfb with openbox) on a free display for it. The caller sets app_pid to the program it starts;
# on exit the program, the wine processes of the prefix, openbox and Xvfb end in that order.

wine64="$(command -v wine64 || true)"
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
wineserver="$(command -v wineserver || true)"
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

app_pid=""
openbox_pid=""
xvfb_pid=""
stop_wine_desktop() {
    local pid
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    for pid in "$openbox_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null
    done
    return 0
}

start_wine_desktop() {
    local display=91
    while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
        display=$((display + 1))
    done
    trap stop_wine_desktop EXIT
    # A wine server started without a display would keep the program off this one: let it end.
    "$wineserver" -w
    Xvfb ":$display" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$display"
    until xdpyinfo >/dev/null 2>&1; do
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.2
    done
    openbox >/dev/null 2>&1 &
    openbox_pid=$!
}
