#pragma once

#include "platform/desktop.h"
#include "state/text_file.h"

#include <map>
#include <string>

namespace dravix::testing {

// A desktop for the state tests: files live in a map, and any path can be made to fail its
// read or its replace with a chosen status. The window services do nothing.
class InMemoryDesktop : public Desktop {
public:
    std::string exePath = "/opt/dravix/dravix";
    char separator = '/';
    std::map<std::string, std::string> files;
    std::map<std::string, FileStatus> readFailures;
    std::map<std::string, FileStatus> replaceFailures;
    int replaceCount = 0;

    void setGeometry(const WindowGeometry& geometry) override { geometry_ = geometry; }
    WindowGeometry geometry() const override { return geometry_; }
    void present(const Frame&) override {}
    ScreenRect workAreaNear(const ScreenRect& area) const override { return area; }
    int scale() const override { return 1; }
    void showError(const std::string&) override {}
    std::optional<std::string> chooseFile(const std::string&) override { return std::nullopt; }

    std::string executablePath() const override { return exePath; }
    char pathSeparator() const override { return separator; }
    std::string userSettingsFolder() const override { return "/home/me/.config/dravix/"; }
    bool exists(const std::string& path) const override { return files.contains(path); }
    bool folderWritable(const std::string&) const override { return true; }

    FileStatus readFile(const std::string& path, std::string& contents) override {
        if (auto failure = readFailures.find(path); failure != readFailures.end())
            return failure->second;
        auto file = files.find(path);
        if (file == files.end())
            return {FileFailure::notFound, 2};
        contents = file->second;
        return {};
    }

    FileStatus replaceFile(const std::string& path, std::string_view contents) override {
        ++replaceCount;
        if (auto failure = replaceFailures.find(path); failure != replaceFailures.end())
            return failure->second;
        files[path] = std::string(contents);
        return {};
    }

    void showTip(const std::string&, Place) override {}
    void hideTip() override {}
    std::optional<std::string> launch(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    int millisecondOfDay() const override { return 0; }
    void exitProcess(int) override {}

private:
    WindowGeometry geometry_;
};

// The text of the FileError a step throws, or "no error".
template <typename Step> std::string errorTextOf(Step&& step) {
    try {
        step();
    } catch (const FileError& error) {
        return error.what();
    }
    return "no error";
}

} // namespace dravix::testing
