#include "platform/posix/posix_services.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dravix::posix {

namespace {

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

int writeAll(int fd, std::string_view contents) {
    const char* next = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        next += written;
        left -= static_cast<std::size_t>(written);
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

} // namespace

FileStatus statusFromErrno(int errorNumber, const std::string& path) {
    switch (errorNumber) {
    case 0:
        return {};
    case ENOENT: {
        // A missing file and a missing folder are told apart, as the user sees them differently.
        struct stat folder {};
        if (::stat(folderOf(path).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
            return {FileFailure::notFound, errorNumber};
        return {FileFailure::pathNotFound, errorNumber};
    }
    case ENOTDIR:
    case ENAMETOOLONG:
        return {FileFailure::pathNotFound, errorNumber};
    case EMFILE:
    case ENFILE:
        return {FileFailure::tooManyOpenFiles, errorNumber};
    case EACCES:
    case EPERM:
    case EROFS:
        return {FileFailure::accessDenied, errorNumber};
    default:
        return {FileFailure::other, errorNumber};
    }
}

FileStatus readFile(const std::string& path, std::string& contents) {
    contents.clear();
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return statusFromErrno(errno, path);

    struct stat info {};
    if (::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        contents.reserve(static_cast<std::size_t>(info.st_size));

    // Read until the end rather than trusting the size, which may change under us.
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            contents.clear();
            return statusFromErrno(error, path);
        }
        if (got == 0)
            break;
        contents.append(chunk, static_cast<std::size_t>(got));
    }
    return {};
}

FileStatus replaceFile(const std::string& path, std::string_view contents) {
    const std::string folder = folderOf(path);

    // The new file takes over the old one's permission bits; a first save gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? (old.st_mode & 07777)
                            : newFileMode();

    // The temporary file sits in the same folder so that the rename stays on one file system
    // and so that it replaces the old file in one step.
    std::string temporary = folder + "/." + nameOf(path) + ".XXXXXX";
    Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return statusFromErrno(errno, path);

    int error = 0;
    if (::fchmod(file.get(), mode) != 0)
        error = errno;
    if (error == 0)
        error = writeAll(file.get(), contents);
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (error == 0)
        error = file.closeNow();
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return statusFromErrno(error, path);
    }

    syncFolder(folder);
    return {};
}

} // namespace dravix::posix
