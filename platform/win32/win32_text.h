#pragma once

#include <string>
#include <string_view>

// Text between the core and Windows. The core keeps every path and message as UTF-8; the backend
// hands them to the W functions as UTF-16, so that a name works whatever the ANSI code page is
// (and on Windows versions that ignore the manifest's UTF-8 code page).
namespace dravix::win32 {

// Invalid UTF-8 becomes U+FFFD, as does an unpaired UTF-16 surrogate the other way round.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromWide(std::wstring_view text);

// The system's ANSI code page (1252 in Western Europe), the one in which Windows programs write
// single-byte text: a slot list typed or edited by hand is in it. Not GetACP(): under the UTF-8
// manifest that answers 65001. 0 when the system has none.
unsigned ansiCodePage();

// Stored text as UTF-8: each line that is not valid UTF-8 is taken as text in the code page and
// converted; valid lines stay as they are. Line ends (CR, LF) and byte 26 stay where they are,
// for the core's line reader to interpret, and a leading byte-order mark stays too. With code
// page 0 or UTF-8 nothing is converted.
std::string utf8FromStoredText(std::string_view bytes, unsigned codePage);

} // namespace dravix::win32
