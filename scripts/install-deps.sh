#!/usr/bin/env bash
# Installs the Debian 12 packages of the named groups, and only those that are missing: when
# everything is there it changes nothing and needs no rights. Installs as root, or through sudo
# for another user.
#
#   scripts/install-deps.sh [group ...]     with no group, every group
#
#   run       building Dravix and running it (scripts/run.sh, scripts/install.sh)
#   test      the Linux tests: GoogleTest, a private X server, window managers, sanitizers,
#             fuzzing, valgrind (scripts/test.sh, with run and windows)
#   windows   the Windows build and its tests under Wine
#   bench     the benchmark and the launchers it compares with (scripts/bench.sh, with run)
#   picture   what the scripts/take-*-picture.sh scripts drive the program and crop with
set -euo pipefail

group_packages() {
    case "$1" in
    run)
        echo build-essential cmake pkg-config      # the build (with dpkg-dev: the Debian package)
        echo libfltk1.3-dev                         # the window toolkit, linked statically with the
        echo libxinerama-dev libxcursor-dev         #   static archives of the X libraries it uses
        echo libx11-xcb-dev libxcb-xinerama0-dev    # the work area, read through XCB
        echo libpng-dev                             # the icon theme's PNG files, drawn by the build
        echo xdg-utils                              # xdg-open, which opens the slots' documents
        echo libglib2.0-bin                         # gio, which starts the slots' desktop entries
        echo libatk1.0-dev libatk-bridge2.0-dev     # the screen-reader module, loaded at run time
        ;;
    test)
        echo libgtest-dev                           # unit tests
        echo libbenchmark-dev libxdamage-dev        # the benchmarks, built by the test command
        echo xvfb xauth xclip x11-utils libxtst-dev # end-to-end tests: a private X server, input
        echo openbox tint2 mutter dbus              #   real window managers and a panel,
        echo icewm i3-wm wmctrl                     #   the managers that differ, workspaces
        echo xfwm4 xfce4-panel                      #   Xfce's, with its panel along the top
        echo zenity                                 #   GTK's file dialog, which the program runs
        echo desktop-file-utils appstream           #   checks of the menu entry and metadata,
        echo lintian man-db                         #   of the Debian package and manual page
        echo clang libclang-rt-14-dev valgrind      # sanitizers, fuzzing and memory checks
        echo python3-pyatspi at-spi2-core dbus      # a screen reader's view, on a private bus,
        echo xdotool                                #   with the Tab key typed
        ;;
    windows)
        echo g++-mingw-w64-x86-64-posix             # the MinGW-w64 cross compiler,
        echo binutils-mingw-w64-x86-64 googletest   #   windres, and GoogleTest's sources
        echo g++ libpng-dev                         # the icon tool, built for the host
        echo wine wine64 xvfb xauth                 # its tests run under Wine, on a private Xvfb
        ;;
    bench)
        echo libbenchmark-dev                       # the in-process benchmark
        echo xvfb libx11-dev libxtst-dev libxdamage-dev # the probe: a server, XTest, XDamage
        echo suckless-tools rofi plank x11-apps     # dmenu, rofi, plank, xclock
        ;;
    picture)
        echo xvfb xauth xdotool x11-utils imagemagick
        ;;
    *)
        return 1
        ;;
    esac
}

groups=("$@")
[[ ${#groups[@]} -gt 0 ]] || groups=(run test windows bench picture)

declare -A wanted=()
for group in "${groups[@]}"; do
    if ! list="$(group_packages "$group")"; then
        echo "install-deps: no group \"$group\"; the groups are run, test, windows, bench" \
            "and picture" >&2
        exit 2
    fi
    for package in $list; do wanted[$package]=1; done
done

missing=()
for package in "${!wanted[@]}"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
    [[ "$status" == installed ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort)

if [[ $EUID -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "install-deps: missing ${missing[*]}; run as root or install sudo" >&2
    exit 1
fi

echo "install-deps: installing for ${groups[*]}: ${missing[*]}"
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
"${as_root[@]}" "${apt[@]}" update -q
"${as_root[@]}" "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
