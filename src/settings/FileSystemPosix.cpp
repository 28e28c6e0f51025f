// The settings file's operations on a POSIX system. Every open takes a non-blocking exclusive
// flock before the file is read, written or cut, so a second instance of the tool (or
// anything else that locks the file) makes the open fail instead of racing it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#include "settings/FileSystem.h"

namespace zk4 {
namespace {

FileError SystemError(int error) {
    std::string text = std::generic_category().message(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return {FileFault::Other, std::move(text)};
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

FileError OpenFailure(int error, OpenMode mode, const std::string& path) {
    switch (error) {
        case ENOENT:
            return {mode == OpenMode::Create ? FileFault::FolderMissing : FileFault::FileMissing,
                    {}};
        case ENOTDIR:
            return {FileFault::FolderMissing, {}};
        case EACCES:
        case EPERM:
            // Creating a file needs write access to the folder, not to the (missing) file.
            if (mode == OpenMode::Create && !PathExists(path)) {
                return {FileFault::FolderReadOnly, {}};
            }
            return {FileFault::PermissionDenied, {}};
        case EROFS:
            return {FileFault::ReadOnlyFileSystem, {}};
        case EISDIR:
            return {FileFault::IsFolder, {}};
        case ENOSPC:
        case EDQUOT:
            return {FileFault::DiskFull, {}};
        default:
            return SystemError(error);
    }
}

class PosixFile final : public OpenFile {
  public:
    PosixFile(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;
    ~PosixFile() override { Close(); }

    std::uint64_t Size() const override { return m_size; }

    std::optional<std::size_t> Read(std::span<char> buffer) override {
        ssize_t got = 0;
        do {
            got = ::read(m_fd, buffer.data(), buffer.size());
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(got);
    }

    Written WriteAt(std::uint64_t offset, std::string_view bytes) override {
        ssize_t put = 0;
        do {
            put = ::pwrite(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        } while (put < 0 && errno == EINTR);
        if (put < 0) {
            return {0, errno == ENOSPC || errno == EDQUOT ? FileError{FileFault::DiskFull, {}}
                                                          : SystemError(errno)};
        }
        return {static_cast<std::size_t>(put), std::nullopt};
    }

    std::optional<FileError> Close() override {
        if (m_fd < 0) {
            return std::nullopt;
        }
        if (::close(std::exchange(m_fd, -1)) != 0 && errno != EINTR) {
            return SystemError(errno);
        }
        return std::nullopt;
    }

  private:
    int m_fd;
    std::uint64_t m_size;
};

class PosixFileSystem final : public FileSystem {
  public:
    Opened Open(const std::string& path, OpenMode mode) override {
        int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        flags |= mode == OpenMode::Read ? O_RDONLY : O_WRONLY;
        // Never O_TRUNC: the file may be held by someone else, so it is cut only once the
        // lock below is ours.
        if (mode == OpenMode::Create) {
            flags |= O_CREAT;
        }
        int fd = -1;
        do {
            fd = ::open(path.c_str(), flags, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            return {nullptr, OpenFailure(errno, mode, path)};
        }
        const auto fail = [fd](FileError error) {
            ::close(fd);
            return Opened{nullptr, std::move(error)};
        };
        int locked = 0;
        do {
            locked = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            return fail(errno == EWOULDBLOCK ? FileError{FileFault::Locked, {}}
                                             : SystemError(errno));
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            return fail(SystemError(errno));
        }
        // A folder, pipe or device under this name is never read or written as settings.
        if (!S_ISREG(st.st_mode)) {
            return fail({FileFault::NotRegularFile, {}});
        }
        if (mode == OpenMode::Create && ::ftruncate(fd, 0) != 0) {
            return fail(SystemError(errno));
        }
        const std::uint64_t size =
            mode == OpenMode::Create ? 0 : static_cast<std::uint64_t>(st.st_size);
        return {std::make_unique<PosixFile>(fd, size), {}};
    }

    // Creating a file needs write and search access to the folder.
    bool CanCreateIn(const std::string& folder) override {
        return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    }

    bool CanReadAndWrite(const std::string& path) override {
        return ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    }

    // The settings are this user's own, so folders made here are private (0700).
    void MakeFolder(const std::string& path) override { ::mkdir(path.c_str(), 0700); }

    std::string_view Separators() const override { return "/"; }
};

}  // namespace

FileSystem& NativeFileSystem() {
    static PosixFileSystem files;
    return files;
}

}  // namespace zk4
