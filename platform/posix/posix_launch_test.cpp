#include "platform/posix/posix_services.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using dravix::LaunchOutcome;

// What a launch says once its answer is in (a desktop entry's is waited for): nothing when it
// started, else its reason.
std::optional<std::string> launch(const std::string& path, const std::string& workingFolder) {
    const LaunchOutcome outcome = dravix::posix::launch(path, workingFolder);
    switch (outcome.state) {
    case LaunchOutcome::State::started:
        return std::nullopt;
    case LaunchOutcome::State::notFound:
        return "(not found)";
    case LaunchOutcome::State::pending:
        return "(pending)";
    case LaunchOutcome::State::failed:
        break;
    }
    return outcome.reason;
}

void writeFile(const fs::path& path, const std::string& contents, fs::perms permissions) {
    std::ofstream(path, std::ios::binary) << contents;
    fs::permissions(path, permissions);
}

constexpr fs::perms executable = fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec;
constexpr fs::perms document = fs::perms::owner_read | fs::perms::owner_write;
constexpr const char* noSignals = "0000000000000000";

using Record = std::map<std::string, std::string>;

// What a copy of the probe at program wrote down when it started (posix_launch_probe.cpp), once
// it has appeared, or nothing when it does not appear in time.
std::optional<Record> seenBy(const fs::path& program, std::chrono::milliseconds timeout = 10s) {
    const fs::path path = program.string() + ".seen";
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

// Each test runs in a fresh folder of its own, from a folder "here" inside it, with a probe
// standing in for xdg-open first on PATH.
class PosixLaunch : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-launch-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = fs::canonical(pattern);
        work_ = root_ / "work folder";
        bin_ = root_ / "bin";
        here_ = root_ / "here";
        for (const fs::path& folder : {work_, bin_, here_})
            fs::create_directories(folder);
        handler_ = probeAt(bin_ / "xdg-open");

        savedFolder_ = fs::current_path();
        fs::current_path(here_);
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? std::optional<std::string>(path) : std::nullopt;
        setSearchPath(bin_.string() + ":" + savedPath_.value_or("/usr/bin:/bin"));
    }

    void TearDown() override {
        if (savedPath_)
            ::setenv("PATH", savedPath_->c_str(), 1);
        else
            ::unsetenv("PATH");
        fs::current_path(savedFolder_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    static fs::path probeAt(const fs::path& path) {
        fs::copy_file(DRAVIX_LAUNCH_PROBE, path);
        fs::permissions(path, executable);
        return path;
    }
    static void setSearchPath(const std::string& folders) { ::setenv("PATH", folders.c_str(), 1); }
    // GLib's gio from the test's own PATH.
    std::optional<fs::path> realGio() const {
        std::stringstream folders(savedPath_.value_or("/usr/bin:/bin"));
        for (std::string folder; std::getline(folders, folder, ':');) {
            if (!folder.empty() && ::access((folder + "/gio").c_str(), X_OK) == 0)
                return folder + "/gio";
        }
        return std::nullopt;
    }
    std::optional<Record> handlerSeen(std::chrono::milliseconds timeout = 10s) const {
        return seenBy(handler_, timeout);
    }

    fs::path root_;
    fs::path work_;
    fs::path bin_;
    fs::path here_;
    fs::path handler_;
    fs::path savedFolder_;
    std::optional<std::string> savedPath_;
};

TEST_F(PosixLaunch, ProgramStartsAloneInItsFolderAndIsNotWaitedFor) {
    // A name that a shell would split, expand and quote wrongly.
    const fs::path program = probeAt(here_ / "-x a;b $HOME 'q' \"d\" `b`");

    // What a toolkit leaves in its process: descriptors without close-on-exec, a blocked signal
    // and an ignored one. The program must see none of them. Two holes among four descriptors
    // take the launch's report pipe, so that leaked ones lie just below and just above its
    // writing end.
    int leaked[4];
    for (int& fd : leaked)
        fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked[0], 3);
    ASSERT_EQ(leaked[3], leaked[0] + 3) << "the descriptors are not consecutive";
    ::close(leaked[0]);
    ::close(leaked[2]);
    sigset_t blocked;
    sigset_t previousMask;
    ::sigemptyset(&blocked);
    ::sigaddset(&blocked, SIGUSR2);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGUSR1, &ignore, &previousAction);

    const auto before = std::chrono::steady_clock::now();
    // By its bare name in our folder, which the child leaves for the working folder.
    const std::optional<std::string> reason =
        launch(program.filename().string(), folderWithSlash(work_));
    const auto took = std::chrono::steady_clock::now() - before;
    ::sigaction(SIGUSR1, &previousAction, nullptr);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::close(leaked[1]);
    ::close(leaked[3]);

    EXPECT_EQ(reason, std::nullopt);
    EXPECT_LT(took, 1s) << "waited for the program, which lingers for 2 s";
    const auto seen = seenBy(program);
    ASSERT_TRUE(seen) << "the program never ran";
    EXPECT_EQ(seen->at("cwd"), work_.string());
    EXPECT_EQ(seen->at("arguments"), "0");
    EXPECT_EQ(seen->at("arg0"), program.string());
    EXPECT_NE(seen->at("session"), std::to_string(::getsid(0)));
    EXPECT_EQ(seen->at("blocked"), noSignals);
    EXPECT_EQ(seen->at("ignored"), noSignals);
    EXPECT_EQ(seen->at("fds"), "0 1 2");
    EXPECT_FALSE(handlerSeen(0ms)) << "a program went to the default handler";
    // While it runs, nothing of ours is left to reap: neither it nor the process that forked it.
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixLaunch, MissingFolderStillStartsTheProgramInOurFolder) {
    const fs::path program = probeAt(work_ / "tool");

    EXPECT_EQ(launch(program.string(), folderWithSlash(root_ / "gone")), std::nullopt);

    const auto seen = seenBy(program);
    ASSERT_TRUE(seen) << "the program never ran";
    EXPECT_EQ(seen->at("cwd"), here_.string());
}

TEST_F(PosixLaunch, DesktopEntryStartsItsApplicationThroughGio) {
    if (!realGio())
        GTEST_SKIP() << "gio is not installed (Debian: libglib2.0-bin)";

    const fs::path application = probeAt(root_ / "application");
    fs::create_directories(root_ / "applications");
    const fs::path entry = root_ / "applications" / "probe.desktop";
    // With the executable bit that file managers set on entries they trust: still no program.
    writeFile(entry,
              "[Desktop Entry]\nType=Application\nName=Dravix probe\nExec=" + application.string() +
                  "\n",
              executable);

    EXPECT_EQ(launch(entry.string(), folderWithSlash(work_)), std::nullopt);

    EXPECT_TRUE(seenBy(application)) << "the entry's program never ran";
    EXPECT_FALSE(handlerSeen(0ms)) << "the entry went to xdg-open";
}

TEST_F(PosixLaunch, NonProgramsGoToTheDefaultHandler) {
    const fs::path notes = work_ / "my notes; $x.txt";
    writeFile(notes, "text\n", document);
    // An executable bit on a file that is no program, as on FAT disks, makes it no program.
    const fs::path marked = work_ / "marked.pdf";
    writeFile(marked, "%PDF-1.4 not a program\n", executable);
    const fs::path folder = work_ / "sub folder";
    fs::create_directories(folder);
    // Where gio is missing, desktop entries go to xdg-open too.
    const fs::path entry = work_ / "app.desktop";
    writeFile(entry, "[Desktop Entry]\nType=Application\nName=A\nExec=/bin/true\n", document);
    setSearchPath(bin_.string());

    // A relative path names the file from our folder, not from the one the handler runs in.
    const fs::path ours = here_ / "notes.txt";
    writeFile(ours, "ours\n", document);
    writeFile(work_ / "notes.txt", "the working folder's\n", document);
    const std::pair<std::string, fs::path> targets[] = {
        {notes, notes}, {marked, marked}, {folder, folder}, {entry, entry}, {"notes.txt", ours}};
    for (const auto& [given, target] : targets) {
        SCOPED_TRACE(given);
        fs::remove(handler_.string() + ".seen");

        EXPECT_EQ(launch(given, folderWithSlash(work_)), std::nullopt);

        const auto seen = handlerSeen();
        ASSERT_TRUE(seen) << "the default handler never ran";
        EXPECT_EQ(seen->at("arguments"), "1");
        EXPECT_EQ(seen->at("arg1"), target.string());
        EXPECT_EQ(seen->at("cwd"), work_.string());
    }
}

TEST_F(PosixLaunch, DefaultHandlerNeverSeesAnOption) {
    // A name that exists nowhere (a URL, a vanished file) goes to the handler as given, except
    // that a leading dash is made into a path.
    EXPECT_EQ(launch("-nonexistent --help", folderWithSlash(work_)), std::nullopt);
    auto seen = handlerSeen();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->at("arguments"), "1");
    EXPECT_EQ(seen->at("arg1"), "./-nonexistent --help");

    fs::remove(handler_.string() + ".seen");
    EXPECT_EQ(launch("https://example.org/a b", ""), std::nullopt);
    seen = handlerSeen();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->at("arg1"), "https://example.org/a b");
    EXPECT_EQ(seen->at("cwd"), here_.string());
}

TEST_F(PosixLaunch, HandlerIsNeverTakenFromARelativeSearchPathEntry) {
    // Plants where "." or an empty entry would find them: our own folder and, once the child has
    // changed into it, the document's.
    const fs::path plants[] = {probeAt(here_ / "xdg-open"), probeAt(work_ / "xdg-open")};
    const fs::path notes = work_ / "notes.txt";
    writeFile(notes, "text\n", document);
    setSearchPath(".::" + bin_.string());

    EXPECT_EQ(launch(notes.string(), folderWithSlash(work_)), std::nullopt);

    EXPECT_TRUE(handlerSeen()) << "the handler on the absolute entry never ran";
    for (const fs::path& plant : plants)
        EXPECT_FALSE(seenBy(plant, 0ms)) << plant << " ran";
    // An empty search path is the shell's default, as an unset one is.
    setSearchPath("");
    EXPECT_FALSE(dravix::posix::findOnSearchPath("sh").empty());
}

TEST_F(PosixLaunch, FailuresToStartComeBackAsTheSystemsReason) {
    const fs::path orphan = work_ / "orphan.sh";
    writeFile(orphan, "#!/nonexistent/interp\n", executable);
    const fs::path garbage = work_ / "garbage";
    writeFile(garbage, std::string("\x01\x02 no program\n"), executable);
    const fs::path notes = work_ / "notes.txt";
    writeFile(notes, "text\n", document);
    // Before c_str() cut it, this path would start a real program.
    const fs::path tool = probeAt(work_ / "tool");
    const std::string cutPath = tool.string() + std::string(1, '\0') + ".txt";

    EXPECT_EQ(launch(orphan.string(), folderWithSlash(work_)),
              "Its interpreter /nonexistent/interp is not installed");
    EXPECT_EQ(launch(cutPath, folderWithSlash(work_)), "The path holds a NUL byte");
    EXPECT_EQ(launch(tool.string(), folderWithSlash(work_) + std::string(1, '\0') + "x"),
              "The working folder holds a NUL byte");
    EXPECT_EQ(launch("", folderWithSlash(work_)), "No such file or directory");
    // With no handler to fall back on, a marked file that is no program is reported as such.
    setSearchPath((root_ / "empty").string());
    EXPECT_EQ(launch(garbage.string(), folderWithSlash(work_)),
              "This is not a program this computer can run");
    EXPECT_EQ(launch(notes.string(), folderWithSlash(work_)), "xdg-open is not installed");

    EXPECT_FALSE(seenBy(tool, 300ms)) << "the path cut at the NUL byte was started";
    EXPECT_FALSE(handlerSeen(0ms)) << "a failure went to the default handler";
}

// An ELF header whose machine is not this one's: AArch64 on x86-64, x86-64 elsewhere. Truncated
// after the header, so that no machine would run it whole.
std::string foreignElf() {
    std::string header(64, '\0');
    header.replace(0, 4,
                   "\x7f"
                   "ELF");
    header[4] = 2;  // 64-bit
    header[5] = 1;  // little-endian
    header[6] = 1;  // version
    header[16] = 2; // an executable
#if defined(__x86_64__)
    header[18] = static_cast<char>(183); // EM_AARCH64
#else
    header[18] = 62; // EM_X86_64
#endif
    header[20] = 1;
    return header;
}

// Files that exist but cannot start: each says why, and none goes to the default handler.
TEST_F(PosixLaunch, ProgramsThatCannotRunSayWhyAndStayAwayFromTheDefaultHandler) {
    const fs::path foreign = work_ / "foreign";
    writeFile(foreign, foreignElf(), executable);
    const fs::path truncated = work_ / "truncated";
    writeFile(truncated,
              "\x7f"
              "ELF\x02\x01",
              executable);
    const fs::path orphan = work_ / "orphan.sh";
    writeFile(orphan, "#!  /opt/none/python3 -u\nprint(1)\n", executable);
    const fs::path dangling = work_ / "dangling";
    fs::create_symlink(work_ / "gone", dangling);

    const struct {
        fs::path path;
        LaunchOutcome outcome;
    } cases[] = {
        {foreign, LaunchOutcome::failure("This is not a program this computer can run")},
        {truncated, LaunchOutcome::failure("This is not a program this computer can run")},
        {orphan, LaunchOutcome::failure("Its interpreter /opt/none/python3 is not installed")},
        {dangling, {LaunchOutcome::State::notFound, {}}},
    };
    for (const auto& [path, outcome] : cases) {
        SCOPED_TRACE(path.string());
        EXPECT_EQ(dravix::posix::launch(path.string(), folderWithSlash(work_)), outcome);
    }
    EXPECT_FALSE(handlerSeen(300ms)) << "a program that cannot run went to xdg-open";
}

// gio's answer comes through the descriptor: the launch returns before gio has ended, and the
// answer names the entry and gio's message without gio's name.
TEST_F(PosixLaunch, ADesktopEntrysAnswerComesLaterWithGiosMessage) {
    writeFile(
        bin_ / "gio",
        "#!/bin/sh\nsleep 1\necho \"gio: Unable to load \\\"$2\\\": no such key\" >&2\nexit 1\n",
        executable);
    const fs::path entry = work_ / "slow.desktop";
    writeFile(entry, "[Desktop Entry]\n", document);

    std::optional<dravix::posix::PendingLaunch> later;
    const auto before = std::chrono::steady_clock::now();
    const LaunchOutcome outcome =
        dravix::posix::launch(entry.string(), folderWithSlash(work_), &later);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms) << "gio was waited for";
    EXPECT_EQ(outcome.state, LaunchOutcome::State::pending);
    ASSERT_TRUE(later);

    pollfd readable{later->descriptor, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 10000), 1) << "no answer";
    EXPECT_EQ(dravix::posix::answerOf(*later),
              entry.string() + ": Unable to load \"" + entry.string() + "\": no such key");
    EXPECT_FALSE(handlerSeen(0ms));
}

// A document's answer comes from xdg-open as an entry's from gio: its message without its name,
// or its status; an xdg-open that waits for the program it opened has started it.
TEST_F(PosixLaunch, ADocumentsAnswerComesLaterFromXdgOpen) {
    const fs::path notes = work_ / "notes.odd";
    writeFile(notes, "text\n", document);
    struct Row {
        const char* handler;
        std::optional<std::string> answer;
    };
    const Row rows[] = {
        {"echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3",
         notes.string() + ": no method available for opening '" + notes.string() + "'"},
        {"exit 4", notes.string() + ": xdg-open ended with status 4"},
        {"exec sleep 5", std::nullopt},
        // A warning from a handler that did its work is passed on to our own error output.
        {"echo 'xdg-open: a warning' >&2; exit 0", std::nullopt},
    };
    const fs::path ownErrors = work_ / "errors.txt";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.handler);
        const int savedErrors = ::dup(STDERR_FILENO);
        const int errorsFile = ::open(ownErrors.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        ASSERT_GE(errorsFile, 0);
        ::dup2(errorsFile, STDERR_FILENO);
        ::close(errorsFile);
        writeFile(bin_ / "xdg-open", std::string("#!/bin/sh\n") + row.handler + "\n", executable);
        std::optional<dravix::posix::PendingLaunch> later;
        const auto before = std::chrono::steady_clock::now();
        const LaunchOutcome outcome =
            dravix::posix::launch(notes.string(), folderWithSlash(work_), &later);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms) << "xdg-open was waited for";
        ASSERT_EQ(outcome.state, LaunchOutcome::State::pending);
        ASSERT_TRUE(later);
        pollfd readable{later->descriptor, POLLIN, 0};
        ASSERT_EQ(::poll(&readable, 1, 10000), 1) << "no answer";
        EXPECT_EQ(dravix::posix::answerOf(*later), row.answer);
        ::dup2(savedErrors, STDERR_FILENO);
        ::close(savedErrors);
        // The watcher that gave the answer is gone, not left to wait for this process.
        EXPECT_LE(::waitpid(-1, nullptr, WNOHANG), 0);
        std::ifstream errors(ownErrors);
        const std::string said((std::istreambuf_iterator<char>(errors)),
                               std::istreambuf_iterator<char>());
        EXPECT_EQ(said.find("a warning") != std::string::npos,
                  std::string(row.handler).find("a warning") != std::string::npos)
            << said;
    }
}

// Entries that GLib's gio cannot start: its status and message come back, in words about the
// entry. No terminal is on PATH, only gio.
TEST_F(PosixLaunch, DesktopEntriesThatGioCannotStartSayWhy) {
    const std::optional<fs::path> gio = realGio();
    if (!gio)
        GTEST_SKIP() << "gio is not installed (Debian: libglib2.0-bin)";
    fs::create_symlink(*gio, bin_ / "gio");
    setSearchPath(bin_.string());
    const std::string head = "[Desktop Entry]\nType=Application\nName=Probe\n";
    const struct {
        const char* name;
        std::string contents;
        const char* saying; // a part of GLib's message that stays across versions
    } cases[] = {
        {"no-program.desktop", head + "Exec=/nonexistent/program\n", "Unable to"},
        {"try-exec.desktop", head + "TryExec=/nonexistent/program\nExec=/bin/true\n", "Unable to"},
        {"terminal.desktop", head + "Terminal=true\nExec=/bin/true\n", "terminal"},
        {"broken.desktop", "garbage\n", "garbage"},
    };
    for (const auto& [name, contents, saying] : cases) {
        SCOPED_TRACE(name);
        const fs::path entry = work_ / name;
        writeFile(entry, contents, document);
        const std::optional<std::string> reason = launch(entry.string(), folderWithSlash(work_));
        ASSERT_TRUE(reason) << "reported as started";
        EXPECT_TRUE(reason->starts_with("Unable") || reason->starts_with("Failed")) << *reason;
        EXPECT_NE(reason->find(saying), std::string::npos) << *reason;
    }
    EXPECT_FALSE(handlerSeen(0ms));
}

// gio hands its error output to the application it starts and ends; what the application writes
// there later must reach a reader, or the write would end it, and it reaches our own error output
// (here a file).
TEST_F(PosixLaunch, AnApplicationFromAnEntryKeepsAWorkingErrorOutputAfterGioEnds) {
    const std::optional<fs::path> gio = realGio();
    if (!gio)
        GTEST_SKIP() << "gio is not installed (Debian: libglib2.0-bin)";
    const fs::path done = work_ / "done";
    const fs::path script = work_ / "talker.sh";
    writeFile(script,
              "#!/bin/sh\nsleep 1\nfor i in 1 2 3; do echo talker >&2; done\necho ok > '" +
                  done.string() + "'\n",
              executable);
    const fs::path entry = work_ / "talker.desktop";
    writeFile(entry,
              "[Desktop Entry]\nType=Application\nName=T\nExec=\"" + script.string() + "\"\n",
              document);

    const fs::path errors = work_ / "errors";
    const int ours = ::dup(STDERR_FILENO);
    const int file = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
    const std::optional<std::string> reason = launch(entry.string(), folderWithSlash(work_));
    ::dup2(ours, STDERR_FILENO);
    ::close(ours);
    EXPECT_EQ(reason, std::nullopt);

    const std::string said = "talker\ntalker\ntalker\n";
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while ((!fs::exists(done) || fs::file_size(errors) < said.size()) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(fs::exists(done)) << "the application was ended by its error output";
    std::ifstream relayed(errors);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(relayed), {}), said);
}

} // namespace
