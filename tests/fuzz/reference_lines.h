#pragma once

// An independent model of how stored text splits into lines, built another way than the
// reader: cut the bytes at every LF, then in each piece drop everything from the first byte 26
// on and remove every CR (a CR before the LF belongs to the line end, any other CR is dropped).
// A piece after the last LF is a line only when it is not empty; past the lines every read
// gives the empty text. A UTF-8 byte-order mark at the very start is no part of any line.

#include <string>
#include <string_view>
#include <vector>

namespace dravix::fuzzing {

inline std::string cleanedPiece(std::string_view piece) {
    piece = piece.substr(0, piece.find('\x1a'));
    std::string value;
    for (char byte : piece) {
        if (byte != '\r')
            value.push_back(byte);
    }
    return value;
}

// A first value that starts with these bytes loses them when its file is read back: they read
// as the file's byte-order mark.
inline bool startsWithByteOrderMark(std::string_view value) {
    return value.starts_with("\xEF\xBB\xBF");
}

inline std::vector<std::string> referenceLines(std::string_view bytes) {
    if (startsWithByteOrderMark(bytes))
        bytes.remove_prefix(3);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t lf = bytes.find('\n'); lf != std::string_view::npos;
         lf = bytes.find('\n', start)) {
        lines.push_back(cleanedPiece(bytes.substr(start, lf - start)));
        start = lf + 1;
    }
    if (start < bytes.size())
        lines.push_back(cleanedPiece(bytes.substr(start)));
    return lines;
}

// The n-th line a reader gives, counting from 0, the empty text past the end.
inline std::string referenceLine(const std::vector<std::string>& lines, std::size_t n) {
    return n < lines.size() ? lines[n] : std::string();
}

} // namespace dravix::fuzzing
