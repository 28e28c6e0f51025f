// Port settings file shell: where ZK4.ini lives, and its exclusive opens, reads and writes.
//
// Every open goes through ExclusiveFile, which takes a non-blocking exclusive flock before
// the file is read, written or cut, so a second instance of the tool (or anything else that
// locks the file) makes the open fail instead of racing it. Nothing here throws: failures
// come back as sentences naming the file and what a technician can do about it.
#include "settings/PortSettingsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace zk4 {
namespace {

constexpr std::size_t kReadBlock = 8192;

enum class OpenMode {
    Read,    // read access; the file must exist
    Write,   // write access; the file must exist and keeps its content
    Create,  // write access; created when missing, cut to length 0 once locked
};

std::string SystemMessage(int error) {
    std::string text = std::generic_category().message(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

std::string OpenFailureReason(int error, OpenMode mode, const std::string& path) {
    switch (error) {
        case ENOENT:
            return mode == OpenMode::Create ? "the folder does not exist"
                                            : "the file no longer exists";
        case ENOTDIR:
            return "the folder does not exist";
        case EACCES:
        case EPERM:
            // Creating a file needs write access to the folder, not to the (missing) file.
            if (mode == OpenMode::Create && !PathExists(path)) {
                return "the folder is read-only";
            }
            return "permission denied";
        case EROFS:
            return "the file system is read-only";
        case EISDIR:
            return "the path is a folder, not a file";
        case ENOSPC:
        case EDQUOT:
            return "the disk is full";
        default:
            return SystemMessage(error);
    }
}

// An open file that no other ExclusiveFile (in this or any other process) can hold at the
// same time. Closed on destruction.
class ExclusiveFile {
  public:
    ExclusiveFile() = default;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;
    ~ExclusiveFile() { Close(); }

    // On failure Reason() says why, in words for the user.
    bool Open(const std::string& path, OpenMode mode) {
        int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        flags |= mode == OpenMode::Read ? O_RDONLY : O_WRONLY;
        // Never O_TRUNC: the file may be held by someone else, so it is cut only once the
        // lock below is ours.
        if (mode == OpenMode::Create) {
            flags |= O_CREAT;
        }
        do {
            m_fd = ::open(path.c_str(), flags, 0644);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0) {
            return Fail(OpenFailureReason(errno, mode, path));
        }
        int locked = 0;
        do {
            locked = ::flock(m_fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            return Fail(errno == EWOULDBLOCK ? std::string("the file is locked by another program")
                                             : SystemMessage(errno));
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            return Fail(SystemMessage(errno));
        }
        // A folder, pipe or device under this name is never read or written as settings.
        if (!S_ISREG(st.st_mode)) {
            return Fail("the path is not a regular file");
        }
        if (mode == OpenMode::Create && ::ftruncate(m_fd, 0) != 0) {
            return Fail(SystemMessage(errno));
        }
        m_size = mode == OpenMode::Create ? 0 : static_cast<std::uint64_t>(st.st_size);
        return true;
    }

    std::uint64_t Size() const { return m_size; }
    const std::string& Reason() const { return m_reason; }

    // Bytes read into buffer, 0 at end of file, -1 on a read error.
    ssize_t Read(std::span<char> buffer) {
        ssize_t got = 0;
        do {
            got = ::read(m_fd, buffer.data(), buffer.size());
        } while (got < 0 && errno == EINTR);
        return got;
    }

    // Writes all of bytes from offset 0, leaving whatever lies beyond them in place.
    bool WriteAtStart(std::string_view bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put =
                ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0) {
                return Fail(errno == ENOSPC || errno == EDQUOT ? std::string("the disk is full")
                                                               : SystemMessage(errno));
            }
            if (put == 0) {
                return Fail("only " + std::to_string(done) + " of " + std::to_string(bytes.size()) +
                            " bytes could be written");
            }
            done += static_cast<std::size_t>(put);
        }
        return true;
    }

    // A failing close can mean that written data did not reach the disk.
    bool Close() {
        if (m_fd < 0) {
            return true;
        }
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 && errno != EINTR) {
            m_reason = SystemMessage(errno);
            return false;
        }
        return true;
    }

  private:
    bool Fail(std::string reason) {
        Close();
        m_reason = std::move(reason);
        return false;
    }

    int m_fd = -1;
    std::uint64_t m_size = 0;
    std::string m_reason;
};

// Opens path in mode and writes record at offset 0; returns "" or the error for the user.
std::string WriteRecord(const std::string& path, OpenMode mode, std::string_view record) {
    ExclusiveFile file;
    if (!file.Open(path, mode) || !file.WriteAtStart(record) || !file.Close()) {
        return "Cannot write the port setting to " + path + ": " + file.Reason() + ".";
    }
    return {};
}

bool Accessible(const std::string& path, int mode) {
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// With its trailing '/', so that a file in the root folder gives "/".
std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? "." : std::string(path.substr(0, slash + 1));
}

// mkdir -p. The settings are this user's own, so folders made here are private (0700).
void MakeFolders(const std::string& folder) {
    std::size_t slash = 0;
    do {
        slash = folder.find('/', slash + 1);
        // Parts that exist already fail with EEXIST; a real failure shows at the first open.
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    } while (slash != std::string::npos);
}

}  // namespace

std::string SettingsFilePath(std::string_view executablePath) {
    // The set is the characters of "ZK4.exe"; '/' is not among them, so the result stays in
    // the executable's folder.
    const std::size_t keep = executablePath.find_last_not_of("ZK4.ex");
    std::string path{keep == std::string_view::npos ? std::string_view{}
                                                    : executablePath.substr(0, keep + 1)};
    path += "ZK4.ini";
    return path;
}

std::string ChooseSettingsPath(std::string_view executablePath, std::string_view configDir) {
    std::string beside = SettingsFilePath(executablePath);
    // Creating the file needs write and search access to the folder. An existing file that can
    // be read and written serves as it is: Load() and Save() never create it then.
    if (configDir.empty() || Accessible(FolderOf(executablePath), W_OK | X_OK) ||
        Accessible(beside, R_OK | W_OK)) {
        return beside;
    }
    std::string path(configDir);
    MakeFolders(path);
    if (path.back() != '/') {
        path += '/';
    }
    path += "ZK4.ini";
    return path;
}

PortLoadResult PortSettingsFile::Load() {
    PortLoadResult result;
    ExclusiveFile file;
    if (!file.Open(m_path, OpenMode::Read)) {
        // Missing, unreadable or held by another program: start again from the default.
        // Create mode cannot empty a file that someone else holds, because it locks first.
        result.writeError = WriteRecord(m_path, OpenMode::Create, kDefaultPortRecord);
        return result;
    }
    if (file.Size() == 0) {
        file.Close();
        result.writeError = WriteRecord(m_path, OpenMode::Write, kDefaultPortRecord);
        return result;
    }

    PortSettingsReader reader;
    std::array<char, kReadBlock> block{};
    std::uint64_t consumed = 0;
    bool readFailed = false;
    while (consumed < file.Size()) {
        const std::uint64_t left = file.Size() - consumed;
        const std::size_t want =
            left < block.size() ? static_cast<std::size_t>(left) : block.size();
        const ssize_t got = file.Read(std::span(block.data(), want));
        if (got <= 0) {
            // A file shortened behind our back ends early; a read error drops the line in
            // progress rather than act on half of it.
            readFailed = got < 0;
            break;
        }
        reader.Feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
        consumed += static_cast<std::uint64_t>(got);
    }
    if (!readFailed) {
        reader.Finish();
    }
    result.port = reader.Setting().port;
    result.savePending = reader.Setting().savePending;
    return result;
}

PortSaveResult PortSettingsFile::Save(std::string_view portName) {
    std::string error = WriteRecord(m_path, OpenMode::Write, PortRecord(portName));
    return PortSaveResult{error.empty(), std::move(error)};
}

}  // namespace zk4
