#include "platform/posix/posix_services.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace dravix::posix {

namespace {

constexpr const char* settingsFolderName = "dravix/";
// As many links as Linux follows in one path before it gives up with ELOOP.
constexpr int maxLinkHops = 40;
// A temporary of ours this old was left by a save that died; a younger one may belong to a save
// under way in another copy of the program.
constexpr std::time_t staleTemporarySeconds = 60;
// A temporary is named ".<file>.XXXXXX" with six of these letters, as mkostemp names them.
constexpr std::string_view temporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t temporarySuffixLength = 6;
// How often an update looks again whether another update has let go of the file.
constexpr useconds_t lockRetryMicroseconds = 10'000;
// How many times an update starts again on a file replaced before it could lock it.
constexpr int maxUpdateAttempts = 100;

struct ErrnoCategory {
    int errorNumber;
    FileFailure failure;
};

// The system's reasons grouped as the user is told about them; any other reason is shown by its
// number.
constexpr ErrnoCategory errnoCategories[] = {
    {EACCES, FileFailure::accessDenied},       {EPERM, FileFailure::accessDenied},
    {EROFS, FileFailure::accessDenied},        {EISDIR, FileFailure::accessDenied},
    {ENOENT, FileFailure::notFound},           {ENOTDIR, FileFailure::pathNotFound},
    {ENAMETOOLONG, FileFailure::pathNotFound}, {ELOOP, FileFailure::pathNotFound},
    {EMFILE, FileFailure::tooManyOpenFiles},   {ENFILE, FileFailure::tooManyOpenFiles},
    {ENOSPC, FileFailure::diskFull},           {EDQUOT, FileFailure::diskFull},
};

// The folder part of path, "." for a bare name and "/" for a name in the root.
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string temporaryPrefix(const std::string& name) {
    return "." + name + ".";
}

// Owns a descriptor so that every early return closes it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    int get() const { return fd_; }
    // Closes now and returns the errno of a failing close, 0 on success. Linux releases the
    // descriptor even when close reports EINTR, and the data was flushed before, so EINTR counts
    // as success.
    int closeNow() {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) == 0 || errno == EINTR)
            return 0;
        return errno;
    }

private:
    int fd_;
};

FileStatus notARegularFile(const struct stat& info) {
    return {FileFailure::accessDenied, S_ISDIR(info.st_mode) ? EISDIR : EACCES};
}

// Writes all of bytes at offset: a short write is no error, so it goes on with the rest until
// every byte is written or a write fails (ENOSPC part-way, say).
int writeAllAt(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return 0;
}

// Permission bits a newly created file would get: 0666 less the process's umask. The umask can
// only be read by setting it, which is harmless in our single-threaded program.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Best effort: once the rename has happened the new content is in place, and a folder that
// refuses fsync (some file systems do) is no reason to tell the user the save failed.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Replaces path by the final target of its symbolic links, so that a save goes through a link to
// wherever the user keeps the file. A dangling link gives the path the file is to be made at.
int followLinks(std::string& path) {
    // Up to maxLinkHops links are read; what the last one names is looked at once more.
    for (int hop = 0; hop <= maxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return 0; // whatever is wrong with the path shows in the steps that follow
        if (hop == maxLinkHops)
            break;
        std::array<char, 4096> link{};
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) == link.size())
            return ENAMETOOLONG;
        const std::string text(link.data(), static_cast<std::size_t>(length));
        path = text.front() == '/' ? text : folderOf(path) + "/" + text;
    }
    return ELOOP;
}

// mkdir -p for the folders a first save needs, the user's settings folder among them; they are
// made for the user alone.
int makeMissingFolders(const std::string& folder) {
    std::vector<std::string> missing;
    for (std::string at = folder;;) {
        struct stat info {};
        if (::stat(at.c_str(), &info) == 0)
            break;
        if (errno != ENOENT)
            return errno;
        missing.push_back(at);
        std::string up = folderOf(at);
        if (up == at)
            break;
        at = std::move(up);
    }
    for (auto next = missing.rbegin(); next != missing.rend(); ++next) {
        if (::mkdir(next->c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

bool isTemporaryOf(std::string_view entry, const std::string& prefix) {
    if (entry.size() != prefix.size() + temporarySuffixLength || !entry.starts_with(prefix))
        return false;
    return std::all_of(
        entry.begin() + static_cast<std::ptrdiff_t>(prefix.size()), entry.end(),
        [](char letter) { return temporaryLetters.find(letter) != std::string_view::npos; });
}

// Removes what a save of the file killed before its rename left behind: a named temporary, or an
// unnamed one killed in the few instructions between its link and the rename.
void sweepStaleTemporaries(const std::string& folder, const std::string& name) {
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return;
    const std::string prefix = temporaryPrefix(name);
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        if (!isTemporaryOf(entry->d_name, prefix))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            now - info.st_mtime > staleTemporarySeconds)
            ::unlink(path.c_str());
    }
    ::closedir(listing);
}

std::string randomSuffix() {
    std::array<unsigned char, temporarySuffixLength> bytes{};
    if (::getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) !=
        static_cast<ssize_t>(bytes.size())) {
        // No entropy yet so early in boot: the clock still gives a name that the caller's retry
        // on a clash can live with.
        auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(ticks);
            ticks >>= 8;
        }
    }
    std::string suffix;
    for (const unsigned char byte : bytes)
        suffix += temporaryLetters[byte % temporaryLetters.size()];
    return suffix;
}

// Gives a finished unnamed file a fresh temporary name in its folder. linkat cannot replace the
// target, so the rename that follows does that, in one step.
int linkIn(int fd, const std::string& folder, const std::string& name, std::string& temporary) {
    const std::string unnamed = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + "/" + temporaryPrefix(name) + randomSuffix();
        if (::linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            temporary = std::move(candidate);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// Gives a finished file the target's name unless something is there already (EEXIST): an unnamed
// file directly, a named temporary through a second link, which the caller then removes.
int linkNew(int fd, const std::string& temporary, const std::string& target) {
    const std::string unnamed = "/proc/self/fd/" + std::to_string(fd);
    const int linked = temporary.empty() ? ::linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD,
                                                    target.c_str(), AT_SYMLINK_FOLLOW)
                                         : ::link(temporary.c_str(), target.c_str());
    return linked == 0 ? 0 : errno;
}

// Every extended attribute of the old file, the POSIX ACL (system.posix_acl_access) among them.
// Best effort, like the owner: a file system without them, or an attribute the user may not set
// (a security label, say), does not stop the save.
void copyAttributes(const std::string& from, int to) {
    std::vector<char> names(
        static_cast<std::size_t>(std::max<ssize_t>(::llistxattr(from.c_str(), nullptr, 0), 0)));
    if (names.empty())
        return;
    const ssize_t listed = ::llistxattr(from.c_str(), names.data(), names.size());
    if (listed <= 0)
        return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + listed;
         name += std::strlen(name) + 1) {
        const ssize_t size = ::lgetxattr(from.c_str(), name, nullptr, 0);
        if (size < 0)
            continue;
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::lgetxattr(from.c_str(), name, value.data(), value.size());
        if (got >= 0)
            ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0);
    }
}

// The new file stands in for the old one: the same owner, group, mode and attributes. An owner or
// group it may not be given (an ordinary user saving another user's file, or a file of a group
// they are not in) fails the step before the rename, and the caller rewrites the file in place.
int takeOver(int fd, const std::string& from, const struct stat& old) {
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return errno;
    // A file system that takes no owners at all (some FUSE ones) fails even a change to the
    // same owner: that is not asked for.
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return errno;
    // After the owner, whose change clears the set-id bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return errno;
    copyAttributes(from, fd);
    return 0;
}

// The safe save: a new file in the target's folder, flushed, then renamed over the target. It is
// unnamed (O_TMPFILE) until it is complete, so a save that dies leaves nothing behind; where the
// file system has no unnamed files, a named temporary swept by later saves stands in.
// With onlyIfNew the file is put in place only while nothing is at target (EEXIST otherwise):
// a link cannot replace, so the unnamed file is linked in under the target's own name.
int replaceThroughTemporary(const std::string& target, const struct stat* old,
                            std::string_view contents, bool onlyIfNew = false) {
    const std::string folder = folderOf(target);
    const std::string name = nameOf(target);
    sweepStaleTemporaries(folder, name);

    std::string temporary; // empty while the file has no name
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, old ? 0600 : 0666);
    if (fd < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        temporary = folder + "/" + temporaryPrefix(name) + "XXXXXX";
        fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return errno;
    }
    Descriptor file(fd);

    int error = 0;
    if (old != nullptr)
        error = takeOver(file.get(), target, *old);
    else if (!temporary.empty() && ::fchmod(file.get(), newFileMode()) != 0)
        error = errno;
    if (error == 0)
        error = writeAllAt(file.get(), contents, 0);
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (error == 0 && onlyIfNew) {
        error = linkNew(file.get(), temporary, target);
    } else {
        if (error == 0 && temporary.empty())
            error = linkIn(file.get(), folder, name, temporary);
        // The rename comes right after the link, the file still open: a kill between the two is
        // all that can leave a temporary of an unnamed file behind.
        if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
            error = errno;
    }
    if (error != 0) {
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        return error;
    }
    if (onlyIfNew && !temporary.empty())
        ::unlink(temporary.c_str());
    syncFolder(folder);
    return 0;
}

// Reads the whole open file from its start, at most maxStoredFileSize bytes.
int readWhole(int fd, off_t size, std::string& contents) {
    contents.assign(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < contents.size()) {
        const ssize_t read =
            ::pread(fd, contents.data() + got, contents.size() - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return errno;
        if (read == 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    contents.resize(got);
    return 0;
}

// For a file the user may write where a new file cannot take its place: the folder takes no new
// file, or the file's owner or group could not be given to a new one. The file keeps its inode
// and with it owner, group, mode, ACL, attributes and hard links. A crash part-way can leave it
// mixed, the one case where a save can cost the old content; a full disk or quota cannot:
//  1. The space for the new length is reserved (fallocate, which also fills any holes) before a
//     byte changes; no space ends the save with the file untouched. A file system that cannot
//     reserve space (EOPNOTSUPP) goes on to the next step, which finds the same answer by writing.
//  2. What the new content adds beyond the old end is written and flushed first; a failure there
//     (found at the write, or at the flush on a network file system) cuts the file back to its
//     old length, the old bytes never touched.
//  3. Only then are the old bytes overwritten, in blocks the file already owns, which needs no
//     new space. A file system that copies on write (Btrfs, ZFS) does need some, and a failing
//     medium fails anyway: for those the old content is kept in memory and written back.
FileStatus rewriteInPlace(const std::string& target, std::string_view contents) {
    Descriptor file(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return statusFromErrno(errno, target);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return statusFromErrno(errno, target);
    if (!S_ISREG(info.st_mode))
        return notARegularFile(info);
    // Without the old content in memory a failure could not be undone.
    if (info.st_size > static_cast<off_t>(maxStoredFileSize))
        return {FileFailure::tooLarge, EFBIG};
    std::string old;
    if (const int error = readWhole(file.get(), info.st_size, old); error != 0)
        return statusFromErrno(error, target);
    const int fd = file.get();
    const auto oldLength = static_cast<off_t>(old.size());
    const auto newLength = static_cast<off_t>(contents.size());

    if (newLength > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, newLength) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL)
        return statusFromErrno(errno, target);

    if (newLength > oldLength) {
        int error = writeAllAt(fd, contents.substr(old.size()), oldLength);
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (error != 0) {
            ::ftruncate(fd, oldLength);
            return statusFromErrno(error, target);
        }
    }

    const std::size_t overwritten = std::min(old.size(), contents.size());
    int error = writeAllAt(fd, contents.substr(0, overwritten), 0);
    if (error == 0 && newLength < oldLength && ::ftruncate(fd, newLength) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (error != 0) {
        // Changes go from the start onwards, so the old bytes are written back in that order:
        // should this fail as well, it fails past what changed.
        writeAllAt(fd, old, 0);
        ::ftruncate(fd, oldLength);
        ::fsync(fd);
        return statusFromErrno(error, target);
    }
    return statusFromErrno(file.closeNow(), target);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr)
        return user->pw_dir;
    return {};
}

} // namespace

std::string userSettingsFolder() {
    // A relative value is to be ignored, as the XDG base directory rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return withSlash(config) + settingsFolderName;
    return withSlash(homeFolder()) + ".config/" + settingsFolderName;
}

std::string realFolderName(const std::string& folder) {
    std::string existing = folder.empty() ? std::string(".") : folder;
    std::vector<std::string> missing; // components below the part that exists, last one first
    for (;;) {
        char* real = ::realpath(existing.c_str(), nullptr);
        const int error = errno;
        if (real != nullptr) {
            std::string name = withSlash(real);
            std::free(real);
            for (auto component = missing.rbegin(); component != missing.rend(); ++component)
                name += *component + "/";
            return name;
        }
        while (existing.size() > 1 && existing.back() == '/')
            existing.pop_back();
        const std::string component = nameOf(existing);
        const std::string up = folderOf(existing);
        // Nothing on the way resolves (a folder without the search right, say): as written.
        if (error != ENOENT || up == existing || component.empty())
            return withSlash(folder.empty() ? std::string(".") : folder);
        if (component != ".")
            missing.push_back(component);
        existing = up;
    }
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool folderWritable(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

FileStatus statusFromErrno(int errorNumber, const std::string& path) {
    if (errorNumber == 0)
        return {};
    const auto* category = std::find_if(
        std::begin(errnoCategories), std::end(errnoCategories),
        [errorNumber](const ErrnoCategory& c) { return c.errorNumber == errorNumber; });
    if (category == std::end(errnoCategories))
        return {FileFailure::other, errorNumber};
    if (category->failure == FileFailure::notFound) {
        // A missing file and a missing folder are told apart, as the user sees them differently.
        struct stat folder {};
        if (::stat(folderOf(path).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
            return {FileFailure::pathNotFound, errorNumber};
    }
    return {category->failure, errorNumber};
}

FileStatus readFile(const std::string& path, std::string& contents) {
    contents.clear();
    // A look before the open, so that a device or a socket is never opened at all.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return notARegularFile(info);
    // Should a FIFO take the file's place after the look, O_NONBLOCK keeps the open from waiting
    // for a writer; the fstat then refuses it.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return statusFromErrno(errno, path);
    if (::fstat(file.get(), &info) != 0)
        return statusFromErrno(errno, path);
    if (!S_ISREG(info.st_mode))
        return notARegularFile(info);
    const FileStatus tooLarge{FileFailure::tooLarge, EFBIG};
    if (info.st_size > static_cast<off_t>(maxStoredFileSize))
        return tooLarge;
    contents.reserve(static_cast<std::size_t>(info.st_size));

    // Read until the end rather than trusting the size, which may change under us (and which some
    // kernel files report as 0), but never more than the limit and one byte, and never hold more
    // than the limit.
    std::array<char, 65536> chunk;
    for (;;) {
        const std::size_t room = maxStoredFileSize + 1 - contents.size();
        const ssize_t got = ::read(file.get(), chunk.data(), std::min(chunk.size(), room));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            contents.clear();
            return statusFromErrno(error, path);
        }
        if (got == 0)
            break;
        const std::size_t size = contents.size() + static_cast<std::size_t>(got);
        if (size > maxStoredFileSize) {
            contents.clear();
            contents.shrink_to_fit();
            return tooLarge;
        }
        if (size > contents.capacity())
            contents.reserve(std::min(std::max(contents.capacity() * 2, size), maxStoredFileSize));
        contents.append(chunk.data(), static_cast<std::size_t>(got));
    }
    return {};
}

namespace {

// Replaces the final target of the path's links; with onlyIfNew only while it is missing.
FileStatus replaceTarget(const std::string& target, std::string_view contents, bool onlyIfNew) {
    struct stat old {};
    const bool replacing = ::lstat(target.c_str(), &old) == 0;
    if (replacing && onlyIfNew)
        return {FileFailure::other, EEXIST};
    if (replacing) {
        if (!S_ISREG(old.st_mode))
            return notARegularFile(old);
        // Asked before anything is made, so that a file the user may not write stays as it is
        // even where the folder would let a new file take its place.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return statusFromErrno(errno, target);
    } else if (errno != ENOENT) {
        return statusFromErrno(errno, target);
    } else if (const int error = makeMissingFolders(folderOf(target)); error != 0) {
        return statusFromErrno(error, target);
    }

    const int error =
        replaceThroughTemporary(target, replacing ? &old : nullptr, contents, onlyIfNew);
    // The folder takes no new file (or, being sticky, no rename over another user's file), or the
    // new file could not be given the old one's owner and group; but the file itself may be
    // written.
    if (replacing && (error == EACCES || error == EPERM))
        return rewriteInPlace(target, contents);
    return statusFromErrno(error, target);
}

// Locks the open file against every other update, waiting for a holder to let go for a while.
int lockForUpdate(int fd) {
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(updateLockPatienceMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= giveUp)
            return errno;
        ::usleep(lockRetryMicroseconds);
    }
    return 0;
}

} // namespace

FileStatus replaceFile(const std::string& path, std::string_view contents) {
    std::string target = path;
    if (const int error = followLinks(target); error != 0)
        return statusFromErrno(error, path);
    return replaceTarget(target, contents, false);
}

FileStamp stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const std::int64_t modified =
        std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
    return {true, static_cast<std::uint64_t>(info.st_size), modified,
            static_cast<std::uint64_t>(info.st_ino)};
}

// The lock is on the file itself, as another update's replace makes a new one: a lock won on
// the file that was there is worth nothing once the path names the new one, so the update then
// starts again on that.
FileStatus updateFile(const std::string& path, const FileChange& change) {
    std::string target = path;
    if (const int error = followLinks(target); error != 0)
        return statusFromErrno(error, path);
    for (int attempt = 0; attempt < maxUpdateAttempts; ++attempt) {
        // A look before the open, so that a device is never opened at all.
        struct stat locked {};
        if (::stat(target.c_str(), &locked) == 0 && !S_ISREG(locked.st_mode))
            return notARegularFile(locked);
        Descriptor file(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.get() < 0 && errno != ENOENT)
            return statusFromErrno(errno, target);
        if (file.get() < 0) {
            const std::optional<std::string> made = change(std::nullopt);
            if (!made)
                return {};
            const FileStatus status = replaceTarget(target, *made, true);
            if (status.failure == FileFailure::other && status.platformCode == EEXIST)
                continue; // another update made it meanwhile: this one starts from that
            return status;
        }
        if (::fstat(file.get(), &locked) != 0)
            return statusFromErrno(errno, target);
        if (!S_ISREG(locked.st_mode))
            return notARegularFile(locked);
        if (const int error = lockForUpdate(file.get()); error != 0)
            return error == EWOULDBLOCK ? FileStatus{FileFailure::inUse, error}
                                        : statusFromErrno(error, target);
        struct stat named {};
        if (::stat(target.c_str(), &named) != 0 || named.st_ino != locked.st_ino ||
            named.st_dev != locked.st_dev)
            continue;
        std::string current;
        if (const FileStatus read = readFile(target, current); !read.ok())
            return read;
        const std::optional<std::string> next = change(current);
        if (!next)
            return {};
        return replaceTarget(target, *next, false);
    }
    // Replaced every time between the open and the lock: another program rewrites it busily.
    return {FileFailure::inUse, EBUSY};
}

} // namespace dravix::posix
