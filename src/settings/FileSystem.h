// The file operations the settings file needs, with one implementation per platform:
// FileSystemPosix.cpp (flock, pwrite, faccessat, mkdir) and FileSystemWin.cpp (CreateFileW
// without sharing, binary reads and writes, CreateDirectoryW). Tests put a fake in their place.
//
// Paths are UTF-8 on Windows and the file system's own bytes elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zk4 {

enum class OpenMode {
    Read,    // read access; the file must exist
    Write,   // write access; the file must exist and keeps its content
    Create,  // write access; created when missing, cut to length 0 once it is ours alone
};

// Why a file operation failed; each has its own sentence for the user.
enum class FileFault {
    FolderMissing,
    FileMissing,
    FolderReadOnly,  // a missing file cannot be created in its folder
    PermissionDenied,
    ReadOnlyFileSystem,
    IsFolder,
    NotRegularFile,  // a device, pipe or the like under the file's name
    DiskFull,
    Locked,  // another program (or another open of ours) holds the file
    Other,   // `detail` holds the system's words
};

struct FileError {
    FileFault fault = FileFault::Other;
    std::string detail;  // for Other: the system's message, starting in lower case

    bool operator==(const FileError&) const = default;
};

struct Written {
    std::size_t count = 0;  // bytes written; 0 with no error means none could be
    std::optional<FileError> error;
};

// A file opened exclusively: no other open of it, in this or another process, succeeds while
// this one lives. Closed on destruction if not before.
class OpenFile {
  public:
    virtual ~OpenFile() = default;

    // The length when it was opened (0 in create mode).
    virtual std::uint64_t Size() const = 0;
    // Bytes read into buffer at the current position, 0 at the end; nothing on a read error.
    virtual std::optional<std::size_t> Read(std::span<char> buffer) = 0;
    // Writes some or all of bytes at offset, leaving whatever lies beyond them in place.
    virtual Written WriteAt(std::uint64_t offset, std::string_view bytes) = 0;
    // A failing close can mean that written data did not reach the disk.
    virtual std::optional<FileError> Close() = 0;
};

struct Opened {
    std::unique_ptr<OpenFile> file;  // null when the open failed
    FileError error;                 // why, when it did
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual Opened Open(const std::string& path, OpenMode mode) = 0;
    // Whether this process may create files in the folder.
    virtual bool CanCreateIn(const std::string& folder) = 0;
    // Whether the file exists and this process may read and write it.
    virtual bool CanReadAndWrite(const std::string& path) = 0;
    // Makes one folder, private to this user where the platform has modes; a folder that
    // exists already, or cannot be made, is left to the first open to report.
    virtual void MakeFolder(const std::string& path) = 0;
    // The characters that separate folders in a path; the first is the one to write.
    virtual std::string_view Separators() const = 0;
};

// The running platform's file system.
FileSystem& NativeFileSystem();

}  // namespace zk4
