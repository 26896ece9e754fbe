#include "state/text_file.h"

#include <cassert>
#include <utility>

namespace dravix {

namespace {

constexpr char lineFeed = '\n';
constexpr char carriageReturn = '\r';
constexpr char endOfText = 26; // Ctrl-Z: ends the value, the rest of its line is skipped

} // namespace

std::string fileErrorText(const FileStatus& status) {
    switch (status.failure) {
    case FileFailure::notFound:
        return "File not found";
    case FileFailure::pathNotFound:
        return "Invalid filename";
    case FileFailure::tooManyOpenFiles:
        return "Too many open files";
    case FileFailure::accessDenied:
        return "File access denied";
    case FileFailure::tooLarge:
        return "File too large";
    case FileFailure::diskFull:
        return "Disk full";
    case FileFailure::inUse:
        return "File in use by another program";
    case FileFailure::none:
    case FileFailure::other:
        break;
    }
    return "I/O error " + std::to_string(status.platformCode);
}

// Editors such as Notepad start a UTF-8 file with a byte-order mark; it is no part of the first
// value.
LineReader::LineReader(std::string_view bytes) : bytes_(bytes) {
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (bytes_.starts_with(byteOrderMark))
        position_ = byteOrderMark.size();
}

void LineReader::readLine(std::string& value) {
    value.clear();
    const std::size_t size = bytes_.size();
    // Ordinary bytes are copied in runs, so a long line costs one pass over it.
    std::size_t runStart = position_;
    while (position_ < size) {
        const char byte = bytes_[position_];
        if (byte != lineFeed && byte != carriageReturn && byte != endOfText) {
            ++position_;
            continue;
        }
        value.append(bytes_.substr(runStart, position_ - runStart));
        if (byte == lineFeed) {
            ++position_;
            return;
        }
        if (byte == carriageReturn) {
            ++position_;
            if (position_ < size && bytes_[position_] == lineFeed) {
                ++position_;
                return;
            }
            // A CR on its own is no line end; it is left out of the value.
            runStart = position_;
            continue;
        }
        // Byte 26: every line end finishes with an LF, so the rest of the line ends after it.
        const std::size_t lineEnd = bytes_.find(lineFeed, position_);
        position_ = lineEnd == std::string_view::npos ? size : lineEnd + 1;
        return;
    }
    value.append(bytes_.substr(runStart, position_ - runStart));
}

void TextFile::bind(std::string path) {
    path_ = std::move(path);
    contents_.clear();
    reader_ = LineReader("");
    writing_ = false;
}

void TextFile::openForReading() {
    if (const FileStatus status = tryOpenForReading(); !status.ok())
        throw FileError(fileErrorText(status));
}

FileStatus TextFile::tryOpenForReading() {
    writing_ = false;
    reader_ = LineReader("");
    contents_.clear();
    const FileStatus status = system_.readFile(path_, contents_);
    if (!status.ok()) {
        contents_.clear();
        return status;
    }
    reader_ = LineReader(contents_);
    return status;
}

void TextFile::readLine(std::string& value) {
    reader_.readLine(value);
}

void TextFile::openForWriting() {
    // Nothing touches the disk until close, which replaces the file in one step.
    reader_ = LineReader("");
    contents_.clear();
    writing_ = true;
}

void TextFile::writeLine(std::string_view text) {
    assert(writing_ && "writeLine on a file that is not open for writing");
    contents_.append(text);
    contents_.append("\r\n");
}

void TextFile::close() {
    reader_ = LineReader("");
    if (!writing_) {
        contents_.clear();
        return;
    }
    // The handle counts as closed even when the replace fails; the next use binds it anew.
    writing_ = false;
    const std::string collected = std::exchange(contents_, std::string());
    const FileStatus status = system_.replaceFile(path_, collected);
    if (!status.ok())
        throw FileError(fileErrorText(status));
}

std::string executableFolder(const SystemPort& system) {
    const std::string executable = system.executablePath();
    const char separator = system.pathSeparator();
    // On Windows a drive prefix such as "C:name.exe" ends the folder as well.
    const std::string_view folderEnds =
        separator == '\\' ? std::string_view("\\:") : std::string_view(&separator, 1);
    const std::size_t cut = executable.find_last_of(folderEnds);
    return cut == std::string::npos ? std::string() : executable.substr(0, cut + 1);
}

} // namespace dravix
