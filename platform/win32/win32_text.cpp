#include "platform/win32/win32_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace dravix::win32 {

namespace {

// Stored files and paths are far below INT_MAX bytes; a longer text converts to nothing.
bool fitsAnInt(std::size_t size) {
    return size <= static_cast<std::size_t>(INT_MAX);
}

std::wstring wideFrom(std::string_view text, UINT codePage) {
    if (text.empty() || !fitsAnInt(text.size()))
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

bool isUtf8(std::string_view text) {
    if (text.empty())
        return true;
    return fitsAnInt(text.size()) &&
           MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

} // namespace

std::wstring wideFromUtf8(std::string_view text) {
    return wideFrom(text, CP_UTF8);
}

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty() || !fitsAnInt(text.size()))
        return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

unsigned ansiCodePage() {
    // The system locale by its name: Wine 8 does not know LOCALE_NAME_SYSTEM_DEFAULT.
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetSystemDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) == 0)
        return 0;
    DWORD codePage = 0;
    if (GetLocaleInfoEx(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage),
                        sizeof codePage / sizeof(wchar_t)) == 0)
        return 0;
    return codePage;
}

std::string utf8FromStoredText(std::string_view bytes, unsigned codePage) {
    // The usual case: the whole file is UTF-8 (plain ASCII included).
    if (codePage == 0 || codePage == CP_UTF8 || isUtf8(bytes))
        return std::string(bytes);

    std::string converted;
    converted.reserve(bytes.size() + bytes.size() / 2);
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (bytes.starts_with(byteOrderMark)) {
        converted += byteOrderMark;
        bytes.remove_prefix(byteOrderMark.size());
    }
    // CR, LF and byte 26 never occur inside a UTF-8 sequence or a double-byte character
    // (their trailing bytes are 0x40 or above), so cutting there never splits a character.
    constexpr std::string_view lineBreaks("\r\n\x1a", 3);
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find_first_of(lineBreaks), bytes.size());
        const std::string_view line = bytes.substr(0, end);
        if (isUtf8(line)) {
            converted += line;
        } else {
            const std::wstring wide = wideFrom(line, codePage);
            converted += wide.empty() ? std::string(line) : utf8FromWide(wide);
        }
        converted += bytes.substr(end, 1);
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
    }
    return converted;
}

} // namespace dravix::win32
