#!/usr/bin/env bash
# Makes the Debian package from a built tree with CPack, checks its control fields and the files
# it installs, unpacks it with dpkg-deb into a clean folder tree and runs the unpacked
# /usr/bin/dravix there under Xvfb as the ordinary user nobody, through the end-to-end test of an
# installed program: a file assigned through the dialog and the place saved at the exit land in
# that user's ~/.config/dravix, and nothing is written beside the program. Runs lintian on the
# package where it is installed.
#
#   debian_package_test.sh <build folder> <dravix_e2e> <version>
set -euo pipefail
build="$1"
e2e="$2"
version="$3"

work="$(mktemp -d "${TMPDIR:-/tmp}/dravix-deb-XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The unpacked tree is the user's way to the program, as / is.
chmod 755 "$work"

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/cpack" >"$work/cpack.txt" 2>&1
then
    cat "$work/cpack.txt" >&2
    exit 1
fi
deb="$work/cpack/dravix_${version}_amd64.deb"
if [[ ! -f "$deb" ]]; then
    echo "FAILED: cpack made no $(basename "$deb"):" >&2
    cat "$work/cpack.txt" >&2
    exit 1
fi

# --- The control fields ------------------------------------------------------------------------
dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == dravix ]] || fail "Package is $(field Package)"
[[ "$(field Version)" == "$version" ]] || fail "Version is $(field Version), not $version"
[[ "$(field Architecture)" == amd64 ]] || fail "Architecture is $(field Architecture)"
# dpkg-shlibdeps found the C library and the X library the program is linked with.
depends="$(field Depends)"
for package in libc6 libx11-6; do
    [[ ", $depends," == *", $package "* ]] || fail "Depends has no $package: $depends"
done

# --- The files ---------------------------------------------------------------------------------
root="$work/root"
dpkg-deb -x "$deb" "$root"
listed="$(cd "$root" && find . -type f | LC_ALL=C sort)"
expected="$(LC_ALL=C sort <<EOF
./usr/bin/dravix
./usr/share/applications/dravix.desktop
./usr/share/doc/dravix/README.md
./usr/share/doc/dravix/copyright
./usr/share/icons/hicolor/16x16/apps/dravix.png
./usr/share/icons/hicolor/24x24/apps/dravix.png
./usr/share/icons/hicolor/32x32/apps/dravix.png
./usr/share/icons/hicolor/48x48/apps/dravix.png
./usr/share/icons/hicolor/256x256/apps/dravix.png
EOF
)"
[[ "$listed" == "$expected" ]] ||
    fail "the package holds other files: $(diff <(echo "$expected") <(echo "$listed"))"
entry="$root/usr/share/applications/dravix.desktop"
grep -qxF "Exec=dravix" "$entry" || fail "the menu entry does not start the command dravix"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
fi
for icon in "$root"/usr/share/icons/hicolor/*/apps/dravix.png; do
    size="$(basename "$(dirname "$(dirname "$icon")")")"
    cmp -s "$icon" "$build/icons/$size/apps/dravix.png" ||
        fail "the $size icon is not the built one"
done

# --- The installed program, as an ordinary user ------------------------------------------------
test_name=PositionAndExit.InstalledWhereTheUserMayNotWriteItKeepsTheFilesInTheSettingsFolder
if xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$e2e" --gtest_filter="$test_name" \
    --dravix-binary="$root/usr/bin/dravix" --installed \
    --artifacts="$build/tests/install/artifacts" >"$work/e2e.txt" 2>&1; then
    # A filter that matches nothing passes too.
    grep -q "PASSED .* 1 test" "$work/e2e.txt" || fail "the end-to-end test did not run"
else
    fail "the installed program failed the end-to-end test"
fi
cat "$work/e2e.txt"

if command -v lintian >/dev/null; then
    # Its findings are shown, and its errors fail the test but for two the package has by design:
    # FLTK and its font libraries are linked into the program (DRAVIX_STATIC_TOOLKIT in
    # platform/fltk/CMakeLists.txt), and a package built from the source tree carries no Debian
    # changelog.
    lintian --suppress-tags embedded-library,no-changelog "$deb" || fail "lintian reports errors"
fi

if [[ $failures -gt 0 ]]; then
    exit 1
fi
echo "dravix_${version}_amd64.deb installs a working dravix"
