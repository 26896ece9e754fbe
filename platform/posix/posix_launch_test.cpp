#include "platform/posix/posix_services.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A shell script that writes what it sees of its own start into a record file: its working
// folder, its arguments, its parent, its session and its open descriptors. The record appears
// under its final name only once complete.
std::string recorderScript(const fs::path& record) {
    const std::string target = record.string();
    return "#!/bin/sh\n"
           "argc=$#\n"
           "arg1=$1\n"
           "fds=$(echo $(ls /proc/self/fd))\n"
           "stat=$(cat /proc/$$/stat)\n"
           "set -- ${stat##*) }\n"
           "{\n"
           "  printf 'cwd=%s\\n' \"$(pwd -P)\"\n"
           "  printf 'argc=%s\\n' \"$argc\"\n"
           "  printf 'arg0=%s\\n' \"$0\"\n"
           "  printf 'arg1=%s\\n' \"$arg1\"\n"
           "  printf 'ppid=%s\\n' \"$2\"\n"
           "  printf 'sid=%s\\n' \"$4\"\n"
           "  printf 'fds=%s\\n' \"$fds\"\n"
           "} > '" +
           target + ".tmp'\n" + "mv '" + target + ".tmp' '" + target + "'\n";
}

void writeFile(const fs::path& path, const std::string& contents, fs::perms permissions) {
    std::ofstream(path, std::ios::binary) << contents;
    fs::permissions(path, permissions);
}

constexpr fs::perms executable = fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec;
constexpr fs::perms document = fs::perms::owner_read | fs::perms::owner_write;

using Record = std::map<std::string, std::string>;

// Waits for a record file to appear, up to a bound, and reads its key=value lines.
std::optional<Record> waitForRecord(const fs::path& path,
                                    std::chrono::milliseconds timeout = 10000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(10ms);
    }
    Record record;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            record[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return record;
}

std::string folderWithSlash(const fs::path& folder) {
    return folder.string() + "/";
}

class PosixLaunch : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-launch-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = fs::canonical(pattern);
        work_ = root_ / "work folder";
        bin_ = root_ / "bin";
        fs::create_directories(work_);
        fs::create_directories(bin_);

        // The stand-in default handler comes first on PATH and records how it was called.
        writeFile(bin_ / "xdg-open", recorderScript(root_ / "handler.record"), executable);
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? std::optional<std::string>(path) : std::nullopt;
        const std::string searchPath = bin_.string() + ":" + savedPath_.value_or("/usr/bin:/bin");
        ::setenv("PATH", searchPath.c_str(), 1);
    }

    void TearDown() override {
        if (savedPath_)
            ::setenv("PATH", savedPath_->c_str(), 1);
        else
            ::unsetenv("PATH");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path handlerRecord() const { return root_ / "handler.record"; }

    fs::path root_;
    fs::path work_;
    fs::path bin_;
    std::optional<std::string> savedPath_;
};

TEST_F(PosixLaunch, ProgramStartsInItsFolderAloneInItsOwnSession) {
    const fs::path program = work_ / "tool.sh";
    writeFile(program, recorderScript(root_ / "program.record"), executable);

    // A descriptor without close-on-exec, the kind a toolkit's display connection is: the
    // program must not inherit it.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);

    dravix::posix::launch(program.string(), folderWithSlash(work_));
    ::close(leaked);

    const auto record = waitForRecord(root_ / "program.record");
    ASSERT_TRUE(record) << "the program never ran";
    EXPECT_EQ(record->at("cwd"), work_.string());
    EXPECT_EQ(record->at("argc"), "0");
    EXPECT_EQ(record->at("arg0"), program.string());
    EXPECT_NE(record->at("sid"), std::to_string(::getsid(0)));
    EXPECT_NE(record->at("ppid"), std::to_string(::getpid())) << "still our child";
    // 0 to 2 are inherited; 3 is the folder that ls opens to list them.
    EXPECT_EQ(record->at("fds"), "0 1 2 3");
    EXPECT_FALSE(fs::exists(handlerRecord())) << "a program went to the default handler";
}

TEST_F(PosixLaunch, ReturnsAtOnceAndLeavesNoChildBehind) {
    // The program records its start and then keeps running for a while.
    const fs::path program = work_ / "slow.sh";
    writeFile(program, recorderScript(root_ / "program.record") + "sleep 3\n", executable);

    const auto before = std::chrono::steady_clock::now();
    dravix::posix::launch(program.string(), folderWithSlash(work_));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);

    // While it runs, nothing of ours is left to reap or wait for: neither the program nor the
    // process that forked it.
    ASSERT_TRUE(waitForRecord(root_ / "program.record"));
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixLaunch, PathIsOneArgumentWhateverItHolds) {
    // Decoys that a shell would run if it split or expanded the name.
    writeFile(work_ / "-x", recorderScript(root_ / "decoy-dash.record"), executable);
    writeFile(work_ / "a", recorderScript(root_ / "decoy-a.record"), executable);
    writeFile(work_ / "b", recorderScript(root_ / "decoy-b.record"), executable);

    const fs::path program = work_ / "-x a;b $HOME 'q' \"d\" `b`.sh";
    writeFile(program, recorderScript(root_ / "program.record"), executable);

    dravix::posix::launch(program.string(), folderWithSlash(work_));

    const auto record = waitForRecord(root_ / "program.record");
    ASSERT_TRUE(record) << "the program never ran";
    EXPECT_EQ(record->at("arg0"), program.string());
    EXPECT_EQ(record->at("argc"), "0");
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(root_ / "decoy-dash.record"));
    EXPECT_FALSE(fs::exists(root_ / "decoy-a.record"));
    EXPECT_FALSE(fs::exists(root_ / "decoy-b.record"));
}

TEST_F(PosixLaunch, MissingFolderStillStartsTheProgramInOurFolder) {
    const fs::path program = work_ / "tool.sh";
    writeFile(program, recorderScript(root_ / "program.record"), executable);

    dravix::posix::launch(program.string(), folderWithSlash(root_ / "gone"));

    const auto record = waitForRecord(root_ / "program.record");
    ASSERT_TRUE(record) << "the program never ran";
    EXPECT_EQ(record->at("cwd"), fs::canonical(fs::current_path()).string());
}

TEST_F(PosixLaunch, NonProgramsGoToTheDefaultHandler) {
    const fs::path notes = work_ / "my notes; $x.txt";
    writeFile(notes, "text\n", document);
    // An executable bit on a file that is no program, as on FAT disks, makes it no program.
    const fs::path marked = work_ / "marked.pdf";
    writeFile(marked, "%PDF-1.4 not a program\n", executable);
    const fs::path folder = work_ / "sub folder";
    fs::create_directories(folder);

    for (const fs::path& target : {notes, marked, folder}) {
        SCOPED_TRACE(target.string());
        fs::remove(handlerRecord());

        dravix::posix::launch(target.string(), folderWithSlash(work_));

        const auto record = waitForRecord(handlerRecord());
        ASSERT_TRUE(record) << "the default handler never ran";
        EXPECT_EQ(record->at("argc"), "1");
        EXPECT_EQ(record->at("arg1"), target.string());
        EXPECT_EQ(record->at("cwd"), work_.string());
        EXPECT_NE(record->at("sid"), std::to_string(::getsid(0)));
        EXPECT_EQ(record->at("fds"), "0 1 2 3");
    }
}

TEST_F(PosixLaunch, DefaultHandlerNeverSeesAnOption) {
    // A name that exists nowhere (a URL, a vanished file) goes to the handler as given, except
    // that a leading dash is made into a path.
    dravix::posix::launch("-nonexistent --help", folderWithSlash(work_));
    auto record = waitForRecord(handlerRecord());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->at("argc"), "1");
    EXPECT_EQ(record->at("arg1"), "./-nonexistent --help");

    fs::remove(handlerRecord());
    dravix::posix::launch("https://example.org/a b", "");
    record = waitForRecord(handlerRecord());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->at("arg1"), "https://example.org/a b");
    EXPECT_EQ(record->at("cwd"), fs::canonical(fs::current_path()).string());
}

TEST_F(PosixLaunch, EmptyPathStartsNothing) {
    dravix::posix::launch("", folderWithSlash(work_));

    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_FALSE(waitForRecord(handlerRecord(), 300ms)) << "something was started";
}

} // namespace
