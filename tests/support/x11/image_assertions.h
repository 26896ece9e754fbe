#pragma once

// The image checks as GoogleTest assertions, for the test programs that link GoogleTest.

#include "tests/support/x11/image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace dravix::x11test {

// <root>/<Suite>.<Test>/, created on first use: where a failing test leaves its images and logs.
inline std::filesystem::path currentTestFolder(const std::filesystem::path& root) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = test != nullptr
                                 ? std::string(test->test_suite_name()) + "." + test->name()
                                 : std::string("outside-tests");
    std::error_code ignored;
    std::filesystem::create_directories(root / name, ignored);
    return root / name;
}

// Every captured pixel of the screenshot equals the expected image; the images of a failure are
// left in the folder (see mismatchReport).
inline ::testing::AssertionResult sameImage(const Screenshot& actual, const Image& expected,
                                            const std::string& label,
                                            const std::filesystem::path& folder) {
    const std::string mismatch = mismatchReport(actual, expected, label, folder);
    if (mismatch.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatch;
}

} // namespace dravix::x11test
