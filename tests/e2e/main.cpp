// Entry of the end-to-end suite. Besides GoogleTest's own flags it takes
//   --dravix-binary=PATH  the dravix executable to test (or the environment's DRAVIX_BINARY)
//   --artifacts=DIR       where failing tests leave screenshots and logs (default: a folder
//                         dravix-e2e-artifacts in the temporary directory)
//   --installed           the binary is installed where an ordinary user may not write (an
//                         unpacked package): the tests that run it as such a user run it there
// and needs DISPLAY to name an X server with the XTEST extension. Most tests expect no window
// manager; the OnTheDesktop tests run under any (tests/desktops/session.sh starts one).

#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    dravix::e2e::Settings& settings = dravix::e2e::settings();
    if (const char* binary = std::getenv("DRAVIX_BINARY")) {
        settings.binary = binary;
    }
    settings.artifacts = std::filesystem::temp_directory_path() / "dravix-e2e-artifacts";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--dravix-binary=")) {
            settings.binary = argument.substr(std::string_view("--dravix-binary=").size());
        } else if (argument.starts_with("--artifacts=")) {
            settings.artifacts = argument.substr(std::string_view("--artifacts=").size());
        } else if (argument == "--installed") {
            settings.installed = true;
        } else {
            std::cerr << "unknown argument: " << argument << "\n";
            return 2;
        }
    }
    if (settings.binary.empty() || !std::filesystem::is_regular_file(settings.binary)) {
        std::cerr << "the dravix binary to test was not found (--dravix-binary=PATH or "
                     "DRAVIX_BINARY): '"
                  << settings.binary.string() << "'\n";
        return 2;
    }
    settings.binary = std::filesystem::absolute(settings.binary);
    try {
        // No focus change of an earlier run may linger: keys follow the pointer.
        dravix::e2e::xServer().focus(PointerRoot);
    } catch (const std::exception& error) {
        std::cerr << "end-to-end tests need an X server: " << error.what() << "\n";
        return 2;
    }
    // Artifacts of earlier runs of these tests go, so that what is left belongs to this run.
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    for (int suite = 0; suite < unit.total_test_suite_count(); ++suite) {
        const ::testing::TestSuite& tests = *unit.GetTestSuite(suite);
        for (int test = 0; test < tests.total_test_count(); ++test) {
            std::error_code ignored;
            std::filesystem::remove_all(settings.artifacts / (std::string(tests.name()) + "." +
                                                              tests.GetTestInfo(test)->name()),
                                        ignored);
        }
    }
    return RUN_ALL_TESTS();
}
