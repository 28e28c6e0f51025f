// Port settings file shell: where ZK4.ini lives, what Load and Save do with it, and the
// sentence for each way a write can fail. The file operations themselves are the platform's
// (FileSystem.h). Nothing here throws: failures come back as sentences naming the file.
#include "settings/PortSettingsFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace zk4 {
namespace {

constexpr std::size_t kReadBlock = 8192;

UserText WriteFailure(const std::string& path, const FileError& error) {
    const char* sentence = nullptr;
    switch (error.fault) {
        case FileFault::FolderMissing:
            sentence = QT_TRANSLATE_NOOP(
                "zk4", "Cannot write the port setting to %1: the folder does not exist.");
            break;
        case FileFault::FileMissing:
            sentence = QT_TRANSLATE_NOOP(
                "zk4", "Cannot write the port setting to %1: the file no longer exists.");
            break;
        case FileFault::FolderReadOnly:
            sentence = QT_TRANSLATE_NOOP(
                "zk4", "Cannot write the port setting to %1: the folder is read-only.");
            break;
        case FileFault::PermissionDenied:
            sentence =
                QT_TRANSLATE_NOOP("zk4", "Cannot write the port setting to %1: permission denied.");
            break;
        case FileFault::ReadOnlyFileSystem:
            sentence = QT_TRANSLATE_NOOP(
                "zk4", "Cannot write the port setting to %1: the file system is read-only.");
            break;
        case FileFault::IsFolder:
            sentence = QT_TRANSLATE_NOOP(
                "zk4", "Cannot write the port setting to %1: the path is a folder, not a file.");
            break;
        case FileFault::NotRegularFile:
            sentence = QT_TRANSLATE_NOOP(
                "zk4", "Cannot write the port setting to %1: the path is not a regular file.");
            break;
        case FileFault::DiskFull:
            sentence =
                QT_TRANSLATE_NOOP("zk4", "Cannot write the port setting to %1: the disk is full.");
            break;
        case FileFault::Locked:
            sentence = QT_TRANSLATE_NOOP(
                "zk4",
                "Cannot write the port setting to %1: the file is locked by another program.");
            break;
        case FileFault::Other:
            return {QT_TRANSLATE_NOOP("zk4", "Cannot write the port setting to %1: %2."),
                    {path, error.detail}};
    }
    return {sentence, {path}};
}

// Opens path in mode and writes all of record at offset 0, leaving whatever lies beyond it
// in place; the sentence for the user when that fails.
std::optional<UserText> WriteRecord(FileSystem& files, const std::string& path, OpenMode mode,
                                    std::string_view record) {
    const Opened opened = files.Open(path, mode);
    if (!opened.file) {
        return WriteFailure(path, opened.error);
    }
    std::size_t done = 0;
    while (done < record.size()) {
        const Written put = opened.file->WriteAt(done, record.substr(done));
        if (put.error) {
            return WriteFailure(path, *put.error);
        }
        if (put.count == 0) {
            return UserText{QT_TRANSLATE_NOOP("zk4",
                                              "Cannot write the port setting to %1: only %2 of %3 "
                                              "bytes could be written."),
                            {path, std::to_string(done), std::to_string(record.size())}};
        }
        done += put.count;
    }
    if (const auto closed = opened.file->Close()) {
        return WriteFailure(path, *closed);
    }
    return std::nullopt;
}

}  // namespace

std::string SettingsFilePath(std::string_view executablePath) {
    // The set is the characters of "ZK4.exe"; no separator is among them, so the result stays
    // in the executable's folder.
    const std::size_t keep = executablePath.find_last_not_of("ZK4.ex");
    std::string path{keep == std::string_view::npos ? std::string_view{}
                                                    : executablePath.substr(0, keep + 1)};
    path += "ZK4.ini";
    return path;
}

PortLoadResult PortSettingsFile::Load() {
    PortLoadResult result;
    Opened opened = m_files->Open(m_path, OpenMode::Read);
    if (!opened.file) {
        // Missing, unreadable or held by another program: start again from the default.
        // Create mode cannot empty a file that someone else holds, because it is exclusive.
        result.writeError = WriteRecord(*m_files, m_path, OpenMode::Create, kDefaultPortRecord);
        return result;
    }
    OpenFile& file = *opened.file;
    if (file.Size() == 0) {
        file.Close();
        result.writeError = WriteRecord(*m_files, m_path, OpenMode::Write, kDefaultPortRecord);
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
        const std::optional<std::size_t> got = file.Read(std::span(block.data(), want));
        if (!got || *got == 0) {
            // A file shortened behind our back ends early; a read error drops the line in
            // progress rather than act on half of it.
            readFailed = !got;
            break;
        }
        reader.Feed(std::string_view(block.data(), *got));
        consumed += *got;
    }
    file.Close();
    if (!readFailed) {
        reader.Finish();
    }
    result.port = reader.Setting().port;
    result.savePending = reader.Setting().savePending;
    return result;
}

PortSaveResult PortSettingsFile::Save(std::string_view portName) {
    return {WriteRecord(*m_files, m_path, OpenMode::Write, PortRecord(portName))};
}

}  // namespace zk4
