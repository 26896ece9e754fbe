#pragma once

#include <cstdint>
#include <string>

struct HWND__;

// One strip per stored files: the folder that holds the stored files belongs to one running copy
// of the program, wherever its executable is. The first copy started for a folder claims it with
// a named mutex and marks its window with the folder; a later start for that folder finds the
// mark, brings that window to the front and ends before it reads anything.
namespace dravix::win32 {

// The mark of a folder: a 64-bit hash of its long name in capitals without a separator at the
// end, so that every spelling of one folder (other capitals, 8.3 short names, "C:\x" and
// "C:\x\") gives the same mark. Never 0.
std::uint64_t folderMark(const std::wstring& folder);

// The claim on a folder: the mutex "Local\Dravix-<mark in hex>", held while this object lives
// (ExitProcess ends it too).
class FolderClaim {
public:
    explicit FolderClaim(std::uint64_t mark);
    ~FolderClaim();
    FolderClaim(const FolderClaim&) = delete;
    FolderClaim& operator=(const FolderClaim&) = delete;

    // False when another running copy of the program has claimed the folder.
    bool held() const { return held_; }

private:
    void* mutex_ = nullptr;
    bool held_ = false;
};

// Marks a window as the strip of a folder (a window property other processes can read), and
// takes the mark away again before the window goes.
void markWindow(HWND__* window, std::uint64_t mark);
void unmarkWindow(HWND__* window);

// Brings the strip marked with the folder to the front, or the error box or file dialog it has
// up, and posts it anotherStartMessage(). The copy that holds the claim makes its window only after
// claiming, so the window is looked for up to `patienceMs` milliseconds; false when none turned up
// (the mutex is then held by something that is no strip, and the caller must say so).
bool bringStripToFront(std::uint64_t mark, unsigned patienceMs = 2000);

// The message a later start posts to the running strip. Registered, so that it means the same in
// every process.
unsigned anotherStartMessage();

} // namespace dravix::win32
