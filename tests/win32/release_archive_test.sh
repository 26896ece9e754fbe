#!/usr/bin/env bash
# Makes the Windows release archive from a built tree with CPack and checks it: one folder with
# dravix.exe, README.txt and LICENSE.txt (the MIT licence, with Windows line ends); dravix.exe
# stripped, with the project's version in its version information (both the numbers Windows
# compares and the strings Explorer shows, with the company and the copyright), a manifest that
# runs it as the invoker and an icon whose largest image is a PNG.
#
#   release_archive_test.sh <build folder> <version>
set -euo pipefail
build="$1"
version="$2"
objdump=x86_64-w64-mingw32-objdump

work="$(mktemp -d "${TMPDIR:-/tmp}/dravix-zip-XXXXXX")"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

name="dravix-$version-win64"
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.txt" 2>&1 ||
    [[ ! -f "$work/cpack/$name.zip" ]]; then
    echo "FAILED: cpack made no $name.zip:" >&2
    cat "$work/cpack.txt" >&2
    exit 1
fi
entries="$(cmake -E tar tf "$work/cpack/$name.zip" | grep -v '/$' | LC_ALL=C sort)"
[[ "$entries" == "$name/LICENSE.txt"$'\n'"$name/README.txt"$'\n'"$name/dravix.exe" ]] ||
    fail "the archive holds other files than $name/dravix.exe, README.txt and LICENSE.txt:" \
        "$entries"
(cd "$work" && cmake -E tar xf "cpack/$name.zip")
exe="$work/$name/dravix.exe"
grep -q "Dravix $version" "$work/$name/README.txt" || fail "README.txt names no version $version"
licence="$work/$name/LICENSE.txt"
{ grep -q "^MIT License"$'\r'"$" "$licence" &&
    grep -q "Copyright (c) .* The Dravix developers"$'\r'"$" "$licence"; } ||
    fail "LICENSE.txt is not the MIT licence of the Dravix developers with Windows line ends"

# Stripped: no symbol table.
"$objdump" -t "$exe" | grep -q "no symbols" || fail "dravix.exe is not stripped"
# The icon's 256-pixel image is stored PNG-compressed, a fraction of its bitmap's size.
LC_ALL=C grep -qaP '\x89PNG\r$' "$exe" ||
    fail "dravix.exe holds no PNG-compressed icon image"

# The fixed part of the version information (VS_FIXEDFILEINFO), found by its signature: after
# the signature and the structure's version, the file's and the product's version as 16-bit
# numbers, the minor before the major and the build before the patch.
offset="$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$exe" | head -1 | cut -d: -f1)"
if [[ -z "$offset" ]]; then
    fail "dravix.exe has no version information"
else
    read -r minor major build patch product_minor product_major product_build product_patch \
        < <(od -An -tu2 -j $((offset + 8)) -N16 "$exe")
    for numbers in "$major.$minor.$patch.$build" \
        "$product_major.$product_minor.$product_patch.$product_build"; do
        [[ "$numbers" == "$version.0" ]] || fail "a version number is $numbers, not $version.0"
    done
fi
# The strings, in UTF-16: each name followed by its value.
strings_16="$(strings -a -el "$exe")"
value_of() { grep -A1 -x "$1" <<<"$strings_16" | sed -n 2p; }
[[ "$(value_of ProductName)" == Dravix ]] || fail "ProductName is '$(value_of ProductName)'"
for key in ProductVersion FileVersion; do
    [[ "$(value_of "$key")" == "$version" ]] || fail "$key is '$(value_of "$key")', not $version"
done
[[ "$(value_of CompanyName)" == "The Dravix developers" ]] ||
    fail "CompanyName is '$(value_of CompanyName)'"
[[ "$(value_of LegalCopyright)" == *"The Dravix developers"*"MIT"* ]] ||
    fail "LegalCopyright is '$(value_of LegalCopyright)'"
[[ -n "$(value_of FileDescription)" ]] || fail "the version information has no FileDescription"

# The manifest, a resource of plain text.
grep -qa 'requestedExecutionLevel level="asInvoker"' "$exe" ||
    fail "the manifest does not run dravix.exe as the invoker"

if [[ $failures -gt 0 ]]; then
    exit 1
fi
echo "$name.zip holds a versioned, stripped dravix.exe, its README and its licence"
