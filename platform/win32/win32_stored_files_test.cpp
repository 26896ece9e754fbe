// The core driven through the fake desktop, except that its files are the real Windows ones:
// backslash paths beside an executable in a temporary folder, read and replaced by this backend.

#include "app/main_window.h"
#include "platform/fake/fake_desktop.h"
#include "platform/win32/win32_services.h"
#include "tests/support/win32_test_folder.h"

#include <gtest/gtest.h>

#include <memory>

namespace dravix::win32 {
namespace {

using testing::ExclusiveHold;
using testing::readBytes;
using testing::temporaryFilesOf;
using testing::TemporaryFolder;
using testing::writeBytes;

class WindowsFilesDesktop : public FakeDesktop {
public:
    FileStatus readFile(const std::string& path, std::string& contents) override {
        return win32::readFile(path, contents);
    }
    FileStatus replaceFile(const std::string& path, std::string_view contents) override {
        return win32::replaceFile(path, contents);
    }
    FileStatus updateFile(const std::string& path, const FileChange& change) override {
        return win32::updateFile(path, change);
    }
    FileStamp stampOf(const std::string& path) const override { return win32::stampOf(path); }
    bool exists(const std::string& path) const override { return win32::exists(path); }
    // An installed copy: the program's folder takes no file, and the settings folder is given.
    bool folderWritable(const std::string& folder) const override {
        return settings.empty() && win32::folderWritable(folder);
    }
    std::string userSettingsFolder() const override { return settings; }

    std::string settings;
};

std::string slotList(int slot, const std::string& path, const std::string& name) {
    std::string lines;
    for (int other = 0; other < 10; ++other) {
        lines += (other == slot ? path : "") + "\r\n";
        lines += (other == slot ? name : "") + "\r\n";
    }
    return lines;
}

class CoreOnWindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        desktop.setPathSeparator('\\');
        desktop.setExecutablePath(folder / "dravix.exe");
    }

    void start() {
        form = std::make_unique<TForm1>(desktop, desktop);
        form->activate();
    }

    // A press and a release at the middle of a slot button or the toggle.
    void click(const std::string& element, MouseButton button) {
        const Scene& scene = form->scene();
        const Element& target = scene.element(scene.find(element));
        int x = target.left + target.width / 2;
        int y = target.top + target.height / 2;
        if (target.parent != noElement) {
            x += scene.element(target.parent).left;
            y += scene.element(target.parent).top;
        }
        form->mouseDown(x, y, button);
        form->mouseUp(x, y, button);
    }

    void openStrip() {
        click("ProcBMP", MouseButton::left);
        for (int tick = 1; tick <= 20; ++tick) {
            desktop.setMillisecond(tick);
            form->tick();
        }
        ASSERT_EQ(desktop.geometry().width, 244) << "the strip did not open";
    }

    TemporaryFolder folder;
    WindowsFilesDesktop desktop;
    std::unique_ptr<TForm1> form;
};

TEST_F(CoreOnWindowsFiles, StartUpReadsTheStoredFilesBesideTheExecutable) {
    writeBytes(folder / "dravix.dat",
               slotList(3, "C:\\Program Files\\Pad\\notepad2.exe", "notepad2"));
    // A place where the open strip, 300 pixels higher, is whole on the fake's monitor.
    writeBytes(folder / "dravix.ini", "400\r\n7\r\n");
    start();
    EXPECT_TRUE(desktop.errors().empty());
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{7, 400, 26, 23}));
    EXPECT_EQ(form->slotRecords()[3].path, "C:\\Program Files\\Pad\\notepad2.exe");
    EXPECT_EQ(form->slotRecords()[3].name, "notepad2");
}

TEST_F(CoreOnWindowsFiles, AssigningSavesTheSlotListAndLaunchingStartsInTheFilesFolder) {
    writeBytes(folder / "dravix.dat", slotList(0, "", ""));
    writeBytes(folder / "dravix.ini", "132\r\n196\r\n");
    start();
    openStrip();

    // A UTF-8 name is stored as it is and read back as it is at the next start.
    TemporaryFolder tools;
    const std::string chosen = tools / "日本 Tools\\tool.v2.bat";
    ASSERT_TRUE(win32::replaceFile(chosen, "@exit\r\n").ok());
    desktop.queueDialogAnswer(chosen);
    click("kn4", MouseButton::right);
    EXPECT_TRUE(desktop.errors().empty());
    EXPECT_EQ(readBytes(folder / "dravix.dat"), slotList(4, chosen, "tool"));
    EXPECT_EQ(folder.names(), (std::set<std::string>{"dravix.dat", "dravix.ini"}));

    click("kn4", MouseButton::left);
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].path, chosen);
    EXPECT_EQ(desktop.launches()[0].workingFolder, tools / "日本 Tools\\");

    start();
    EXPECT_EQ(form->slotRecords()[4].path, chosen);
}

// The first start of a copy installed where the user may not write, before its settings folder is
// made, says what every first start says; quitting makes the folder with both files, and the next
// start keeps the place without a box.
TEST_F(CoreOnWindowsFiles, AnInstalledCopysFirstStartIsLikeAnyOtherAndItsPlaceIsKept) {
    desktop.settings = folder / "Local\\Dravix\\";
    start();
    EXPECT_EQ(desktop.errors(), std::vector<std::string>{"File not found."});
    form->keyDown(vkLeft);
    const WindowGeometry left = desktop.geometry();
    click("ProcBMP", MouseButton::right);
    EXPECT_EQ(readBytes(folder / "Local\\Dravix\\dravix.dat"), slotList(0, "", ""));
    EXPECT_EQ(folder.names(), std::set<std::string>{"Local"});

    desktop.startNewProcess();
    start();
    EXPECT_TRUE(desktop.errors().empty());
    EXPECT_EQ(desktop.geometry(), left);
}

TEST_F(CoreOnWindowsFiles, ASaveOfAHeldListShowsWhyAndKeepsAndShowsTheOldOne) {
    const std::string old = slotList(1, "C:\\old.exe", "old");
    writeBytes(folder / "dravix.dat", old);
    writeBytes(folder / "dravix.ini", "132\r\n196\r\n");
    start();
    openStrip();
    {
        ExclusiveHold hold(folder / "dravix.dat");
        desktop.queueDialogAnswer("C:\\new.exe");
        click("kn1", MouseButton::right);
    }
    EXPECT_EQ(desktop.errors(), std::vector<std::string>{"File in use by another program."});
    EXPECT_EQ(readBytes(folder / "dravix.dat"), old);
    EXPECT_EQ(temporaryFilesOf(folder, "dravix.dat"), std::set<std::string>{});
    EXPECT_EQ(form->slotRecords()[1].path, "C:\\old.exe") << "the strip shows what is stored";
}

} // namespace
} // namespace dravix::win32
