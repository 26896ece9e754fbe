#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Dravix need, and only those
# that are missing: when everything is there it changes nothing and needs no rights. Installs as
# root, or through sudo for another user.
set -euo pipefail

packages=(
    build-essential cmake pkg-config           # the build
    libfltk1.3-dev                             # the window toolkit, linked statically with the
    libxinerama-dev libxcursor-dev             #   static archives of the X libraries it uses
    libgtest-dev libbenchmark-dev              # unit tests and benchmarks
    libxdamage-dev                             #   the start-up probe watches for the first frame
    xdg-utils                                  # xdg-open, which opens the slots' documents
    libglib2.0-bin                             # gio, which starts the slots' desktop entries
    xvfb xauth xdotool xclip x11-utils         # end-to-end tests: a private X server and input
    imagemagick libxtst-dev                    #   screenshots and synthetic input from the tests
    openbox tint2 mutter dbus                  #   real window managers and a panel to test under
    zenity                                     #   GTK's file dialog, which the program runs
    clang libclang-rt-14-dev valgrind          # fuzzing and memory checks
    g++-mingw-w64-x86-64-posix                 # the Windows build: MinGW-w64 cross compiler,
    binutils-mingw-w64-x86-64 googletest       #   windres, and GoogleTest's sources to cross-build
    wine wine64                                # its tests run under Wine
)

missing=()
for package in "${packages[@]}"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
    [[ "$status" == installed ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $EUID -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "install-deps: missing ${missing[*]}; run as root or install sudo" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
