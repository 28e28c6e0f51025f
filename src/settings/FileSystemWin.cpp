// The settings file's operations on Windows. Every open shares nothing (share mode 0), so no
// other program, and no other open of ours, gets at the file while it is open; bytes pass
// unchanged (no text mode), so a written CR LF stays CR LF.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "settings/FileSystem.h"

namespace zk4 {
namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

// The system's sentence for an error code, without its final full stop and line break and
// starting in lower case, to follow a colon.
FileError SystemError(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    if (message.empty()) {
        return {FileFault::Other, "system error " + std::to_string(code)};
    }
    if (message[0] >= L'A' && message[0] <= L'Z') {
        message[0] = static_cast<wchar_t>(message[0] - L'A' + L'a');
    }
    return {FileFault::Other, Utf8(message)};
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileError OpenFailure(DWORD code, OpenMode mode, const std::wstring& path) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return {mode == OpenMode::Create ? FileFault::FolderMissing : FileFault::FileMissing,
                    {}};
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return {FileFault::FolderMissing, {}};
        case ERROR_ACCESS_DENIED:
            // A folder cannot be opened as a file and says "access denied".
            if (IsFolder(path)) {
                return {FileFault::IsFolder, {}};
            }
            // Creating a file needs write access to the folder, not to the (missing) file.
            if (mode == OpenMode::Create && !Exists(path)) {
                return {FileFault::FolderReadOnly, {}};
            }
            return {FileFault::PermissionDenied, {}};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return {FileFault::Locked, {}};
        case ERROR_WRITE_PROTECT:
            return {FileFault::ReadOnlyFileSystem, {}};
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return {FileFault::DiskFull, {}};
        default:
            return SystemError(code);
    }
}

class WinFile final : public OpenFile {
  public:
    WinFile(HANDLE handle, std::uint64_t size) : m_handle(handle), m_size(size) {}
    WinFile(const WinFile&) = delete;
    WinFile& operator=(const WinFile&) = delete;
    ~WinFile() override { Close(); }

    std::uint64_t Size() const override { return m_size; }

    std::optional<std::size_t> Read(std::span<char> buffer) override {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(
            std::min<std::size_t>(buffer.size(), std::numeric_limits<DWORD>::max()));
        if (!::ReadFile(m_handle, buffer.data(), want, &got, nullptr)) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(got);
    }

    Written WriteAt(std::uint64_t offset, std::string_view bytes) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = static_cast<DWORD>(
            std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
        DWORD put = 0;
        if (!::WriteFile(m_handle, bytes.data(), want, &put, &at)) {
            const DWORD code = ::GetLastError();
            return {0, code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL
                           ? FileError{FileFault::DiskFull, {}}
                           : SystemError(code)};
        }
        return {static_cast<std::size_t>(put), std::nullopt};
    }

    std::optional<FileError> Close() override {
        if (m_handle == INVALID_HANDLE_VALUE) {
            return std::nullopt;
        }
        if (!::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE))) {
            return SystemError(::GetLastError());
        }
        return std::nullopt;
    }

  private:
    HANDLE m_handle;
    std::uint64_t m_size;
};

class WinFileSystem final : public FileSystem {
  public:
    Opened Open(const std::string& path, OpenMode mode) override {
        const std::wstring name = Wide(path);
        const DWORD access = mode == OpenMode::Read ? GENERIC_READ : GENERIC_WRITE;
        // Share mode 0 is the lock: the open fails while anyone else has the file open.
        const HANDLE handle = ::CreateFileW(name.c_str(), access, 0, nullptr,
                                            mode == OpenMode::Create ? OPEN_ALWAYS : OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return {nullptr, OpenFailure(::GetLastError(), mode, name)};
        }
        const auto fail = [handle](FileError error) {
            ::CloseHandle(handle);
            return Opened{nullptr, std::move(error)};
        };
        // A device (NUL, COM1 …) or pipe under this name is never read or written as settings.
        if (::GetFileType(handle) != FILE_TYPE_DISK) {
            return fail({FileFault::NotRegularFile, {}});
        }
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle, &size)) {
            return fail(SystemError(::GetLastError()));
        }
        // Cut only now that the file is ours alone.
        if (mode == OpenMode::Create && !::SetEndOfFile(handle)) {
            return fail(SystemError(::GetLastError()));
        }
        const std::uint64_t length =
            mode == OpenMode::Create ? 0 : static_cast<std::uint64_t>(size.QuadPart);
        return {std::make_unique<WinFile>(handle, length), {}};
    }

    // Folder rights on Windows are access lists that no attribute shows (Program Files is not
    // read-only, yet only administrators may write there): making a file there is the test.
    bool CanCreateIn(const std::string& folder) override {
        std::wstring probe = Wide(folder);
        if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') {
            probe += L'\\';
        }
        probe += L"ZK4-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
        const HANDLE handle = ::CreateFileW(
            probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        ::CloseHandle(handle);
        return true;
    }

    // A file held by another instance is still ours to use once it is free.
    bool CanReadAndWrite(const std::string& path) override {
        const std::wstring name = Wide(path);
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            return false;
        }
        const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return ::GetLastError() == ERROR_SHARING_VIOLATION;
        }
        ::CloseHandle(handle);
        return true;
    }

    void MakeFolder(const std::string& path) override {
        ::CreateDirectoryW(Wide(path).c_str(), nullptr);
    }

    std::string_view Separators() const override { return "\\/"; }
};

}  // namespace

FileSystem& NativeFileSystem() {
    static WinFileSystem files;
    return files;
}

}  // namespace zk4
