# Sourced by the scripts that run the Windows program under wine: finds wine, makes a fresh prefix,
# starts a desktop (Xvfb with openbox) on a free display for it and finds the program's window. The caller sets app_pid to the program it starts;
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

# A fresh wine prefix in the folder given, which knows nothing of the build; exported for wine.
create_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset WINEPATH
    echo "Creating the wine prefix $WINEPREFIX"
    DISPLAY= "$wine64" wineboot --init >/dev/null 2>&1
    "$wineserver" -w
}

# The main window once it shows (looked for again and again: a search fails now and then on a
# window that wine drops meanwhile), its inside's top left corner in X and Y and its size in WIDTH
# and HEIGHT; once the Distortion panel (client 285,60 93x100) holds text, more than a few colours.
# Returns 1 when no window showed within five minutes.
find_main_window() {
    local geometry colours
    window=""
    for _ in $(seq 600); do
        window="$(xdotool search --onlyvisible --name '^Patchlens \[ Version: [0-9.]+ \]$' 2>/dev/null | head -1)" || true
        [ -n "$window" ] && break
        sleep 0.5
    done
    [ -n "$window" ] || return 1
    geometry="$(xwininfo -id "$window")"
    X="$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$geometry")"
    Y="$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$geometry")"
    WIDTH="$(sed -n 's/^ *Width: *//p' <<<"$geometry")"
    HEIGHT="$(sed -n 's/^ *Height: *//p' <<<"$geometry")"
    for _ in $(seq 100); do
        colours="$(import -window root -crop "93x100+$((X + 285))+$((Y + 60))" +repage ppm:- | convert ppm:- -format %k info:)"
        [ "$colours" -gt 4 ] && break
        sleep 0.2
    done
    sleep 1
}
