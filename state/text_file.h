#pragma once

#include "platform/system_port.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace dravix {

// A failed file step. Its text is what the user is shown ("File not found", ...).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "File not found", "Invalid filename", "Too many open files", "File access denied", "File too
// large", "Disk full", "File in use by another program", or "I/O error N" with the platform's own
// number.
std::string fileErrorText(const FileStatus& status);

// Splits stored text into lines: LF or CR LF end a line, a lone CR is dropped, byte 26 ends the
// value and skips the rest of its line, and past the end every line reads as the empty text. A
// UTF-8 byte-order mark at the very start is skipped.
class LineReader {
public:
    explicit LineReader(std::string_view bytes);
    void readLine(std::string& value);

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

// The one handle through which both stored files are read and written. A read takes the whole
// file at open; a write collects the lines and replaces the file in one step at close, so a
// failure part-way leaves the old file as it was. Every failing step throws FileError.
class TextFile {
public:
    explicit TextFile(SystemPort& system) : system_(system) {}

    void bind(std::string path);
    void openForReading();
    // As openForReading, but hands the failure back instead of throwing it.
    FileStatus tryOpenForReading();
    void readLine(std::string& value);
    void openForWriting();
    void writeLine(std::string_view text);
    void close();

private:
    SystemPort& system_;
    std::string path_;
    std::string contents_;
    LineReader reader_{""};
    bool writing_ = false;
};

// The running executable's folder, ending in a separator; empty for a bare name.
std::string executableFolder(const SystemPort& system);

} // namespace dravix
