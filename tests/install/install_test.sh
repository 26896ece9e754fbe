#!/usr/bin/env bash
# Installs the built Dravix with scripts/install.sh into a temporary home folder whose paths hold
# spaces, with XDG_DATA_HOME and XDG_CONFIG_HOME elsewhere, over an install that kept the program
# and its stored files in XDG_DATA_HOME; checks what it makes (a stripped program in the settings
# folder the Debian package's program uses, the stored files moved there, the manual page found
# by man, the menu entry and icons), installs again without --autostart, uninstalls, and checks
# that only the stored files and what was there before are left.
#
#   install_test.sh <scripts/install.sh> <build folder>
set -euo pipefail
install_script="$1"
build="$2"

work="$(mktemp -d "${TMPDIR:-/tmp}/dravix-install-XXXXXX")"
trap 'rm -rf "$work"' EXIT
home="$work/home of a user"
data="$work/data home"
config="$work/config home"
# What a desktop user has before: the home's .local, the XDG folders, another program's entry,
# and an install that kept the program beside its stored files in $data/dravix.
mkdir -p "$home/.local" "$config" "$data/applications" "$data/dravix" "$home/.local/bin"
echo "[Desktop Entry]" >"$data/applications/other.desktop"
cp "$build/dravix" "$data/dravix/dravix"
ln -s "$data/dravix/dravix" "$home/.local/bin/dravix"
printf '600\r\n300\r\n' >"$data/dravix/dravix.ini"
printf '/usr/bin/xterm\r\nxterm\r\n' >"$data/dravix/dravix.dat"
cp "$data/dravix/dravix.ini" "$data/dravix/dravix.dat" "$work/"

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
run_install() {
    env HOME="$home" XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$config" PATH=/usr/bin:/bin \
        "$install_script" --from "$build" "$@"
}
# The width and height in a PNG file's header, as "WxH".
png_size() {
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ printf "%dx%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4,
                               (($5 * 256 + $6) * 256 + $7) * 256 + $8 }'
}

# --- Install with --autostart ------------------------------------------------------------------
run_install --autostart
# The program in the settings folder where /usr/bin/dravix keeps a user's stored files, which it
# may write, so this one keeps them there too, beside itself.
program="$config/dravix/dravix"
[[ -x "$program" ]] || fail "the program is not $program"
readelf -S "$program" | grep -q '\.symtab' && fail "the installed program is not stripped"
[[ "$(readlink -f "$home/.local/bin/dravix")" == "$program" ]] ||
    fail "$home/.local/bin/dravix does not lead to $program"
[[ "$("$home/.local/bin/dravix" --version)" == "$("$build/dravix" --version)" ]] ||
    fail "the installed program is not the built one"
# The stored files of the earlier install moved beside the program; its program and folder went.
for stored in dravix.ini dravix.dat; do
    cmp -s "$work/$stored" "$config/dravix/$stored" || fail "$stored did not move to $config/dravix"
done
[[ ! -e "$data/dravix" ]] || fail "the earlier install's folder $data/dravix stays"
# man finds the manual page beside the command on PATH.
manual="$(env HOME="$home" PATH="$home/.local/bin:/usr/bin:/bin" MANPATH= man -w dravix 2>&1)"
[[ "$manual" == "$home/.local/share/man/man1/dravix.1" ]] ||
    fail "man finds no manual page of the installed dravix: $manual"
# The command runs the program: with no display it says so and ends.
if env -u DISPLAY HOME="$home" "$home/.local/bin/dravix" 2>"$work/stderr.txt" >/dev/null; then
    fail "the command on PATH ran without a display"
fi
grep -q "DISPLAY is not set" "$work/stderr.txt" ||
    fail "the command on PATH did not start dravix: $(cat "$work/stderr.txt")"

entry="$data/applications/dravix.desktop"
for line in "Name=Dravix" "Exec=\"$program\"" "Icon=dravix" "Categories=Utility;"; do
    grep -qxF "$line" "$entry" || fail "the menu entry has no line $line"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
fi
cmp -s "$entry" "$config/autostart/dravix.desktop" || fail "no autostart entry like the menu's"
[[ "$(stat -c %a "$entry")" == 644 ]] || fail "the menu entry has mode $(stat -c %a "$entry")"

icon_count=0
for built_icon in "$build"/icons/*/apps/dravix.png; do
    size="$(basename "$(dirname "$(dirname "$built_icon")")")"
    icon="$data/icons/hicolor/$size/apps/dravix.png"
    icon_count=$((icon_count + 1))
    cmp -s "$built_icon" "$icon" || fail "the $size icon is not installed"
    [[ "$(stat -c %a "$icon")" == 644 ]] || fail "the $size icon has mode $(stat -c %a "$icon")"
    [[ "$(png_size "$icon")" == "$size" ]] || fail "the $size icon is $(png_size "$icon")"
done
[[ $icon_count -ge 5 ]] || fail "the build drew $icon_count icon sizes"
cmp -s "$build/icons/scalable/apps/dravix.svg" "$data/icons/hicolor/scalable/apps/dravix.svg" ||
    fail "the scalable icon is not installed"

# --- An install over the first one without --autostart ----------------------------------------
# Without a cache of the icon theme, the theme's folder is touched so that desktops look again.
touch -d @0 "$data/icons/hicolor"
run_install
[[ "$(stat -c %Y "$data/icons/hicolor")" -gt 0 ]] || fail "the icon theme's folder was not touched"
[[ ! -e "$config/autostart/dravix.desktop" ]] ||
    fail "the autostart entry stays without --autostart"
[[ -x "$program" && -f "$entry" ]] || fail "installing again lost the program or its entry"

# --- Uninstall ---------------------------------------------------------------------------------
run_install --uninstall >"$work/uninstall.txt"
grep -qF "$config/dravix" "$work/uninstall.txt" ||
    fail "uninstalling does not say where the stored files stay: $(cat "$work/uninstall.txt")"
for stored in dravix.ini dravix.dat; do
    cmp -s "$work/$stored" "$config/dravix/$stored" || fail "$stored changed"
done
left="$(cd "$work" && find "home of a user" "data home" "config home" | LC_ALL=C sort)"
expected="$(LC_ALL=C sort <<EOF
home of a user
home of a user/.local
data home
data home/applications
data home/applications/other.desktop
config home
config home/dravix
config home/dravix/dravix.dat
config home/dravix/dravix.ini
EOF
)"
[[ "$left" == "$expected" ]] || fail "uninstalling left other files than the stored ones:" \
    "$(diff <(echo "$expected") <(echo "$left"))"
run_install --uninstall >/dev/null || fail "a second uninstall fails"

# --- A command of the user's own ---------------------------------------------------------------
# A file of the user's own is never replaced; a link elsewhere is replaced by an install but
# never removed by an uninstall, which removes only its own (with the autostart entry).
command="$home/.local/bin/dravix"
mkdir -p "$home/.local/bin" "$work/elsewhere"
echo "the user's own" >"$command"
if run_install >/dev/null 2>&1; then
    fail "installing over the user's own $command succeeded"
fi
[[ ! -L "$command" && "$(cat "$command")" == "the user's own" ]] || fail "the user's command changed"
rm "$command"
ln -s "$work/elsewhere" "$command"
run_install --uninstall >/dev/null
[[ "$(readlink "$command")" == "$work/elsewhere" ]] || fail "uninstalling removed a link elsewhere"
run_install --autostart >/dev/null
[[ "$(readlink "$command")" == "$program" ]] || fail "installing kept a link elsewhere"
run_install --uninstall >/dev/null
[[ ! -e "$command" && ! -L "$command" && ! -e "$config/autostart/dravix.desktop" ]] ||
    fail "uninstalling after an install with --autostart left its command or autostart entry"

# --- Where the XDG variables are not absolute, and a path with a desktop entry's specials -------
if run_install --uninstall --autostart >/dev/null 2>&1; then
    fail "--uninstall --autostart was taken"
fi
odd_home="$work/odd\$home%1"
mkdir -p "$odd_home"
(cd "$work" && env HOME="$odd_home" XDG_DATA_HOME="relative" XDG_CONFIG_HOME="" \
    PATH=/usr/bin:/bin "$install_script" --from "$build" >/dev/null)
odd_program="$odd_home/.config/dravix/dravix"
odd_entry="$odd_home/.local/share/applications/dravix.desktop"
[[ -x "$odd_program" && -f "$odd_entry" ]] ||
    fail "an empty XDG_CONFIG_HOME or a relative XDG_DATA_HOME was not taken for its default"
grep -qxF "Exec=\"$work/odd\\\\\$home%%1/.config/dravix/dravix\"" "$odd_entry" ||
    fail "the Exec line does not quote $odd_program: $(grep Exec= "$odd_entry")"

if [[ $failures -gt 0 ]]; then
    exit 1
fi
echo "installed, installed again and uninstalled in $home"
