#!/usr/bin/env bash
# shellcheck disable=SC2317 # functions called indirectly (traps, wait_until)
# Runs a command inside a private desktop: its own Xvfb server (1280 x 1024 x 24) with a real
# window manager, and tears everything down afterwards.
#
#   tests/desktops/session.sh <desktop> -- <command> [argument...]
#
# Desktops:
#   none      the bare X server, no window manager
#   openbox   openbox, with a tint2 panel along the bottom that reserves 30 px (a strut), so the
#             work area is 1280 x 994; its taskbar lists the open windows
#   mutter    GNOME's window manager as an X11 compositing manager (mutter --x11), on its own
#             D-Bus session bus
#   icewm     icewm with its own taskbar along the bottom (26 px); the taskbar is the window
#             manager's own window, not in _NET_CLIENT_LIST, with a _NET_WM_STRUT, and icewm's
#             _NET_WORKAREA is 1280 x 998; four workspaces
#   i3        the tiling manager i3 (i3config beside this script), with i3bar docked along the
#             bottom (20 px, a strut); i3 publishes no _NET_WORKAREA and lists no dock
#   xfwm4     Xfce's window manager with its own settings, and xfce4-panel along the top (its
#             default panel, 27 px with the border), both on a D-Bus session bus of their own
#             (their settings daemon, xfconfd, is started through it)
#   kwin      KDE's window manager, kwin_x11, compositing, on its own D-Bus session bus, with four
#             workspaces and no panel (KWin publishes no _NET_WORKAREA without one)
#   fluxbox   fluxbox with its own toolbar along the bottom (not in _NET_CLIENT_LIST; its
#             _NET_WORKAREA leaves it out); four workspaces
# kwin and fluxbox are for runs by hand: they are not installed for CI and no test runs them.
#
# The command runs once the desktop is ready, that is once the window manager has announced
# itself (_NET_SUPPORTING_WM_CHECK on the root window names a window that names itself back)
# and has published _NET_WORKAREA (i3: its bar's strut; KWin: its workspaces), and once the panel
# has shrunk the work area. It
# gets DISPLAY, and like every part of the desktop a HOME and XDG folders of its own in a
# temporary folder, so nothing is written to the real home. The script exits with the command's
# exit status, or with 125 and the desktop's log when a part of the desktop does not start or
# dies before the command ends. Every process it started, and whatever the command left running
# in its own process group, is ended on the way out. The command runs in a session of its own,
# without a controlling terminal; an interrupt or a TERM to this script is passed on to it.
#
# Environment: SESSION_TIMEOUT, seconds each part may take to become ready (default 30);
# SESSION_VERBOSE, when set, prints how long each part took and the work area.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
timeout_s="${SESSION_TIMEOUT:-30}"
width=1280 height=1024 panel_height=30 # the panel's height is also set in tint2rc

usage() {
    echo "usage: $0 <none|openbox|mutter|icewm|i3|xfwm4|kwin|fluxbox> -- <command> [argument...]" >&2
    exit 2
}
[[ $# -ge 3 && "$2" == -- ]] || usage
desktop="$1"
shift 2
case "$desktop" in
    none) needed=(Xvfb) ;;
    openbox) needed=(Xvfb xprop openbox tint2) ;;
    mutter) needed=(Xvfb xprop mutter dbus-run-session) ;;
    icewm) needed=(Xvfb xprop icewm) ;;
    i3) needed=(Xvfb xprop xwininfo i3 i3bar) ;;
    xfwm4) needed=(Xvfb xprop dbus-daemon xfwm4 xfce4-panel) ;;
    kwin) needed=(Xvfb xprop kwin_x11 dbus-run-session) ;;
    fluxbox) needed=(Xvfb xprop fluxbox) ;;
    *) usage ;;
esac
for program in "${needed[@]}"; do
    command -v "$program" >/dev/null || { echo "session: $program is not installed" >&2; exit 125; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/desktop-session.XXXXXX")" || exit 125
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
    XDG_DATA_HOME="$work/home/.local/share" XDG_STATE_HOME="$work/home/.local/state" \
    XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER XAUTHORITY DESKTOP_SESSION \
    XDG_CURRENT_DESKTOP XDG_SESSION_TYPE

# Process groups started here, newest last; each part runs in a session of its own (setsid does
# not fork when the caller is no group leader, which a background job of a script never is), so
# its pid names the group that holds it and everything it spawned.
groups=()
names=()

process_state() { # stat-file: prints the state and the process group of a process
    local line state pgrp
    read -r line 2>/dev/null <"$1" || return 1
    read -r state _ pgrp _ <<<"${line##*) }" # after the command name, which may hold anything
    echo "$state $pgrp"
}

alive() { # pid: is the process still running (not gone, not a zombie)?
    local state
    state="$(process_state "/proc/$1/stat")" && [[ "$state" != Z* ]]
}

group_alive() { # pgid: does any process of the group still run? (kill -0 counts zombies too)
    local stat state
    for stat in /proc/[0-9]*/stat; do
        state="$(process_state "$stat")" || continue
        [[ "$state" != Z* && "${state#* }" == "$1" ]] && return 0
    done
    return 1
}

stop_group() { # pid: TERM its process group, KILL what is left after two seconds, reap it
    local pid="$1" i
    kill -TERM -- "-$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
    for ((i = 0; i < 40; i++)); do
        group_alive "$pid" || break
        sleep 0.05
    done
    kill -KILL -- "-$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

teardown() {
    local i
    for ((i = ${#groups[@]} - 1; i >= 0; i--)); do stop_group "${groups[i]}"; done
    groups=()
    rm -rf "$work"
}
trap teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() { # message: report why the desktop is not usable, with the logs, and give up
    local log
    echo "session: $desktop: $1" >&2
    for log in "$work"/*.log; do
        [[ -s "$log" ]] || continue
        echo "---- $(basename "$log") (last lines)" >&2
        tail -n 20 "$log" >&2
    done
    exit 125
}

start() { # name command...: start a part of the desktop in its own session, logging to name.log
    local name="$1"
    shift
    setsid "$@" </dev/null >"$work/$name.log" 2>&1 &
    groups+=("$!")
    names+=("$name")
}

check_parts() { # fail when a part of the desktop has ended
    local i
    for i in "${!groups[@]}"; do
        alive "${groups[i]}" || fail "${names[i]} ended unexpectedly"
    done
}

milliseconds() { local now="${EPOCHREALTIME/[.,]/}"; echo $((now / 1000)); }

wait_until() { # what condition...: poll the condition until it holds, the time is up or a part dies
    local what="$1" deadline since
    shift
    since="$(milliseconds)"
    deadline=$((since + timeout_s * 1000))
    until "$@"; do
        check_parts
        (($(milliseconds) < deadline)) ||
            fail "timed out after ${timeout_s}s waiting for $what (work area: $(work_area))"
        sleep 0.02
    done
    timings+=" $what: $(($(milliseconds) - since)) ms;"
}

display_known() { # Xvfb writes the display number and a newline once it accepts connections
    local number
    read -r number 2>/dev/null <"$work/displayfd" && [[ "$number" =~ ^[0-9]+$ ]]
}

wm_ready() { # the window manager has announced itself and published the work area
    wm_announced || return 1
    xprop -root -notype _NET_WORKAREA 2>/dev/null | grep -q '='
}

work_area() { # prints x y width height of the first desktop's work area
    xprop -root -notype 32c ' $0 $1 $2 $3\n' _NET_WORKAREA 2>/dev/null | sed -n 's/^_NET_WORKAREA \([0-9]\)/\1/p'
}

panel_ready() { # the panel is managed and its strut has shrunk the work area
    local window
    [[ "$(work_area)" == "0 0 $width $((height - panel_height))" ]] || return 1
    for window in $(xprop -root -notype 32x ' $0+\n' _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
        xprop -id "$window" -notype _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DOCK &&
            return 0
    done
    return 1
}

wm_announced() { # _NET_SUPPORTING_WM_CHECK names a window that names itself back
    local check back
    check="$(xprop -root -notype 32x ' $0\n' _NET_SUPPORTING_WM_CHECK 2>/dev/null)" || return 1
    check="${check##* }"
    [[ "$check" == 0x* ]] || return 1
    back="$(xprop -id "$check" -notype 32x ' $0\n' _NET_SUPPORTING_WM_CHECK 2>/dev/null)" || return 1
    [[ "${back##* }" == "$check" ]]
}

icewm_taskbar_ready() { # icewm's work area leaves out its taskbar
    [[ "$(work_area)" == "0 0 $width $((height - icewm_taskbar_height))" ]]
}

i3bar_ready() { # i3bar is docked and keeps the bottom of the screen with its strut
    local window
    for window in $(xwininfo -root -tree 2>/dev/null | grep '"i3bar for output' | grep -o '^ *0x[0-9a-f]*'); do
        xprop -id "$window" -notype 32c ' $3\n' _NET_WM_STRUT_PARTIAL 2>/dev/null |
            grep -qx "_NET_WM_STRUT_PARTIAL $i3bar_height" && return 0
    done
    return 1
}

xfce_panel_ready() { # the work area leaves out a panel along the top
    local area
    area="$(work_area)"
    [[ -n "$area" && "${area%% *}" == 0 && "$area" != "0 0 $width $height" ]]
}

kwin_desktops_ready() { # KWin has read its configuration: the workspaces it names are there
    [[ "$(xprop -root -notype 32c ' $0\n' _NET_NUMBER_OF_DESKTOPS 2>/dev/null)" == \
        "_NET_NUMBER_OF_DESKTOPS $kwin_desktops" ]]
}

fluxbox_toolbar_ready() { # fluxbox's work area leaves out its toolbar along the bottom
    local area
    area="$(work_area)"
    [[ -n "$area" && "$area" == "0 0 $width "* && "${area##* }" -lt "$height" ]]
}

bus_known() { # dbus-daemon writes the bus's address and a newline once it accepts connections
    local address
    read -r address 2>/dev/null <"$work/bus" && [[ "$address" == unix:* ]]
}

timings=""
icewm_taskbar_height=26 i3bar_height=20 # icewm's default taskbar; i3bar's height in i3config
kwin_desktops=4
start xvfb Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset 3>"$work/displayfd"
wait_until "Xvfb" display_known
DISPLAY=":$(head -n 1 "$work/displayfd")"
export DISPLAY

case "$desktop" in
    openbox)
        start openbox openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml
        wait_until "openbox" wm_ready
        start tint2 tint2 -c "$here/tint2rc"
        wait_until "tint2 strut" panel_ready
        ;;
    mutter)
        start mutter dbus-run-session -- mutter --x11 --replace --sm-disable
        wait_until "mutter" wm_ready
        ;;
    icewm)
        start icewm icewm
        wait_until "icewm" wm_ready
        wait_until "icewm taskbar" icewm_taskbar_ready
        ;;
    i3)
        start i3 i3 -c "$here/i3config"
        wait_until "i3" wm_announced
        wait_until "i3bar strut" i3bar_ready
        ;;
    xfwm4)
        start dbus dbus-daemon --session --nofork --print-address=3 3>"$work/bus"
        wait_until "the session bus" bus_known
        DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
        export DBUS_SESSION_BUS_ADDRESS
        start xfwm4 xfwm4 --replace
        wait_until "xfwm4" wm_ready
        start xfce4-panel xfce4-panel
        wait_until "xfce4-panel strut" xfce_panel_ready
        ;;
    kwin)
        printf '[Desktops]\nNumber=%s\nRows=1\n' "$kwin_desktops" >"$XDG_CONFIG_HOME/kwinrc"
        start kwin dbus-run-session -- kwin_x11 --replace
        wait_until "kwin" wm_announced
        wait_until "kwin workspaces" kwin_desktops_ready
        ;;
    fluxbox)
        start fluxbox fluxbox
        wait_until "fluxbox" wm_ready
        wait_until "fluxbox toolbar" fluxbox_toolbar_ready
        ;;
esac
if [[ -n "${SESSION_VERBOSE:-}" ]]; then
    area="$(work_area)"
    echo "session: $desktop ready on $DISPLAY;$timings work area ${area:-none}" >&2
fi

# The command runs in a session of its own as well, so that whatever it leaves running can be
# ended with it; a signal to this script is passed on to it.
setsid "$@" <&0 &
command_pid=$!
groups+=("$command_pid")
names+=("the command")
trap 'kill -TERM -- "-$command_pid" 2>/dev/null' INT TERM HUP
# wait returns early when a signal arrives; bash keeps the status of the ended command for the
# last wait.
while alive "$command_pid"; do wait "$command_pid"; done
wait "$command_pid"
status=$?
unset 'groups[-1]' 'names[-1]'
stop_group "$command_pid"

# The desktop has to have lasted the whole command, or the command did not run where it should.
for i in "${!groups[@]}"; do
    alive "${groups[i]}" || fail "${names[i]} ended while the command ran (command status $status)"
done
exit "$status"
