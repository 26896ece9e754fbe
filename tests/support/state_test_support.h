#pragma once

#include "platform/fake/fake_desktop.h"
#include "state/text_file.h"

#include <string>

namespace dravix::testing {

// The text of the FileError a step throws, or "no error".
template <typename Step> std::string errorTextOf(Step&& step) {
    try {
        step();
    } catch (const FileError& error) {
        return error.what();
    }
    return "no error";
}

// From now on every `operation` on `path` fails with `status`; other files behave.
inline void failOn(FakeDesktop& desktop, FileOperation operation, std::string path,
                   FileStatus status) {
    desktop.setFaultInjector([=](FileOperation tried, const std::string& at) {
        return tried == operation && at == path ? status : FileStatus{};
    });
}

} // namespace dravix::testing
