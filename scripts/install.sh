#!/usr/bin/env bash
# Installs Dravix for the current user, or uninstalls it:
#
#   scripts/install.sh [--autostart]   build in build/ and install; --autostart also starts it at
#                                      every login (installing again without it stops that)
#   scripts/install.sh --uninstall     remove everything the install made
#   scripts/install.sh --from DIR ...  install the program and icons already built in DIR, without
#                                      installing packages or building (for tests)
#
# What it makes, under the XDG base folders:
#   $XDG_CONFIG_HOME/dravix/dravix                the program, stripped, in the user's settings
#                                                 folder: a folder the user may write, so the
#                                                 program keeps its stored files (dravix.dat,
#                                                 dravix.ini) beside itself there, where the
#                                                 Debian package's /usr/bin/dravix keeps them too
#   ~/.local/bin/dravix                           a symbolic link to it, the command on PATH
#   ~/.local/share/man/man1/dravix.1              its manual page, which man finds beside the
#                                                 command
#   $XDG_DATA_HOME/applications/dravix.desktop    the entry in the application menu
#   $XDG_DATA_HOME/icons/hicolor/*/apps/dravix.*  its icon at the sizes the build drew, and as SVG
#   $XDG_CONFIG_HOME/autostart/dravix.desktop     with --autostart
# XDG_DATA_HOME is ~/.local/share and XDG_CONFIG_HOME ~/.config unless they are set. Stored files
# that an install of the program in $XDG_DATA_HOME/dravix/ left there are moved to the settings
# folder. Uninstalling leaves the stored files where they are.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
    echo "usage: $0 [--autostart] | --uninstall   (and --from BUILD-FOLDER for tests)" >&2
    exit 2
}
action=install
autostart=""
from=""
while [[ $# -gt 0 ]]; do
    case "$1" in
    --autostart) autostart=1 ;;
    --uninstall) action=uninstall ;;
    --from)
        [[ $# -ge 2 ]] || usage
        from="$2"
        shift
        ;;
    *) usage ;;
    esac
    shift
done
[[ "$action" == install || -z "$autostart" ]] || usage

# An XDG variable that is unset, empty or not an absolute path means its default.
absolute_or() { if [[ "${1:-}" == /* ]]; then echo "$1"; else echo "$2"; fi; }
data="$(absolute_or "${XDG_DATA_HOME:-}" "$HOME/.local/share")"
config="$(absolute_or "${XDG_CONFIG_HOME:-}" "$HOME/.config")"
folder="$config/dravix"
program="$folder/dravix"
# Where the program and its stored files were kept before they shared the settings folder.
old_folder="$data/dravix"
command_link="$HOME/.local/bin/dravix"
manual="$HOME/.local/share/man/man1/dravix.1"
menu_entry="$data/applications/dravix.desktop"
login_entry="$config/autostart/dravix.desktop"
icons="$data/icons/hicolor"

# Refreshes the caches the desktop keeps of these folders, where it keeps them: a cache that
# does not exist yet is not made, so that uninstalling leaves nothing behind. Never fails.
refresh_caches() {
    if [[ -f "$data/applications/mimeinfo.cache" ]] && command -v update-desktop-database >/dev/null
    then
        update-desktop-database -q "$data/applications" 2>/dev/null || true
    fi
    if [[ -f "$icons/icon-theme.cache" ]] && command -v gtk-update-icon-cache >/dev/null; then
        gtk-update-icon-cache -q -t -f "$icons" 2>/dev/null || true
    elif [[ -d "$icons" ]]; then
        touch "$icons" 2>/dev/null || true
    fi
}

if [[ "$action" == uninstall ]]; then
    removed=0
    remove() {
        if [[ -e "$1" || -L "$1" ]]; then
            rm -f "$1"
            removed=$((removed + 1))
        fi
    }
    # The command is removed only while it is the install's own link.
    if [[ -L "$command_link" ]] &&
        [[ "$(readlink "$command_link")" == "$program" ||
            "$(readlink "$command_link")" == "$old_folder/dravix" ]]; then
        remove "$command_link"
    fi
    remove "$program"
    remove "$folder/dravix-atspi.so"
    remove "$old_folder/dravix"
    remove "$manual"
    remove "$menu_entry"
    remove "$login_entry"
    for icon in "$icons"/*/apps/dravix.png "$icons"/*/apps/dravix.svg; do
        remove "$icon"
    done
    # The folders the install may have made, once empty.
    for size in "$icons"/*/; do
        rmdir "$size/apps" "$size" 2>/dev/null || true
    done
    rmdir "$icons" "$data/icons" "$data/applications" "$config/autostart" "$HOME/.local/bin" \
        "$(dirname "$manual")" "$HOME/.local/share/man" "$HOME/.local/share" 2>/dev/null || true
    refresh_caches
    if [[ $removed -eq 0 ]]; then
        echo "install: Dravix is not installed here; nothing to remove"
    else
        echo "install: removed Dravix ($removed files)"
    fi
    # The folders stay while they hold the stored files.
    for stored_folder in "$folder" "$old_folder"; do
        rmdir "$stored_folder" 2>/dev/null || true
        if [[ -d "$stored_folder" ]]; then
            echo "install: your slots and position stay in $stored_folder (dravix.dat," \
                "dravix.ini); delete that folder to remove them too"
        fi
    done
    exit 0
fi

if [[ -z "$from" ]]; then
    "$root/scripts/install-deps.sh" run
    from="$root/build"
    cmake -S "$root" -B "$from" -DCMAKE_BUILD_TYPE=Release -DDRAVIX_TESTS=OFF >/dev/null
    cmake --build "$from" --target dravix dravix_icons -j"$(nproc)"
fi
built_icons=("$from"/icons/*x*/apps/dravix.png "$from"/icons/scalable/apps/dravix.svg)
if [[ ! -x "$from/dravix" || ! -f "${built_icons[0]}" || ! -f "$from/dravix.1" ]]; then
    echo "install: $from holds no built dravix, icons and manual page" >&2
    exit 1
fi
if [[ -e "$command_link" && ! -L "$command_link" ]]; then
    echo "install: $command_link is a file of its own; move it away first" >&2
    exit 1
fi

# Exec's value: the program's path, quoted by the desktop entry's rules when it holds anything
# but plain characters, then escaped as a string value (a backslash doubled).
exec_value() {
    local path="$1"
    if [[ "$path" =~ [^A-Za-z0-9_./+-] ]]; then
        path="${path//\\/\\\\}"
        path="${path//\"/\\\"}"
        path="${path//\`/\\\`}"
        path="${path//\$/\\\$}"
        path="\"$path\""
    fi
    path="${path//%/%%}"
    printf '%s' "${path//\\/\\\\}"
}
if [[ "$program" == *$'\n'* ]]; then
    echo "install: $program holds a line break, which a desktop entry cannot name" >&2
    exit 1
fi
# The menu entry of the Debian package (packaging/dravix.desktop), with this install's program in
# Exec in place of the command on PATH.
entry() {
    local line
    while IFS= read -r line; do
        [[ "$line" == Exec=* ]] && line="Exec=$(exec_value "$program")"
        printf '%s\n' "$line"
    done <"$root/packaging/dravix.desktop"
}

# Each file goes in under a temporary name and is then renamed over the old one, so that a
# running strip keeps its executable and a reader never sees half a file.
put() { # put <source file> <target> <mode>
    mkdir -p "$(dirname "$2")"
    cp "$1" "$2.new"
    chmod "$3" "$2.new"
    mv -f "$2.new" "$2"
}
entry_file="$(mktemp)"
stripped="$(mktemp)"
trap 'rm -f "$entry_file" "$stripped"' EXIT
entry >"$entry_file"

# The program without its symbols, a third of its size; the one in the build folder keeps them.
strip --strip-unneeded -o "$stripped" "$from/dravix"
put "$stripped" "$program" 755
# The screen-reader module beside the program, where it looks first.
if [[ -f "$from/dravix-atspi.so" ]]; then
    strip --strip-unneeded -o "$stripped" "$from/dravix-atspi.so"
    put "$stripped" "$folder/dravix-atspi.so" 644
fi
mkdir -p "$(dirname "$command_link")"
ln -sfn "$program" "$command_link"
put "$from/dravix.1" "$manual" 644
for icon in "${built_icons[@]}"; do
    size="$(basename "$(dirname "$(dirname "$icon")")")"
    put "$icon" "$icons/$size/apps/$(basename "$icon")" 644
done

# The slots and place an install in $old_folder kept beside its program move to the settings
# folder, unless it already holds its own; then the old program goes.
for stored in dravix.dat dravix.ini; do
    if [[ -e "$old_folder/$stored" && ! -e "$folder/$stored" ]]; then
        mv "$old_folder/$stored" "$folder/$stored"
        echo "install: moved your $stored from $old_folder to $folder"
    fi
done
rm -f "$old_folder/dravix"
rmdir "$old_folder" 2>/dev/null || true
if [[ -d "$old_folder" ]]; then
    echo "install: $old_folder still holds files; $folder has the ones Dravix uses"
fi
put "$entry_file" "$menu_entry" 644
if [[ -n "$autostart" ]]; then
    put "$entry_file" "$login_entry" 644
else
    rm -f "$login_entry"
fi
refresh_caches

echo "install: Dravix is in $folder, with your slots, in the application menu and on PATH as" \
    "dravix"
if [[ -n "$autostart" ]]; then
    echo "install: it starts at every login ($login_entry)"
fi
case ":$PATH:" in
*":$HOME/.local/bin:"*) ;;
*)
    echo "install: $HOME/.local/bin is not on PATH; add it with the line"
    echo "    export PATH=\"\$HOME/.local/bin:\$PATH\""
    echo "  at the end of ~/.profile (and of ~/.bashrc for terminals that do not read it)," \
        "then log in again"
    ;;
esac
