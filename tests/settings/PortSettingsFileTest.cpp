// The settings file on the real file system (the rows about POSIX file modes are skipped on
// Windows), and on a fake disk for what a disk rarely does: short writes and reads, failures.
#include "settings/PortSettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// The reason in "Cannot write the port setting to <path>: <reason>.", or all of another text.
std::string Reason(const std::optional<UserText>& error, const std::string& path) {
    const std::string text = error ? error->English() : "<none>";
    const std::string head = "Cannot write the port setting to " + path + ": ";
    const bool ours = text.starts_with(head) && text.ends_with('.');
    return ours ? text.substr(head.size(), text.size() - head.size() - 1) : text;
}

// "[<save's failure> | saved] | <port>[ save][: <load's failure>]"
std::string Outcome(PortSettingsFile& file, const char* save) {
    std::string outcome;
    if (save != nullptr) {
        const PortSaveResult saved = file.Save(save);
        outcome = (saved.error ? Reason(saved.error, file.Path()) : "saved") + " | ";
    }
    const PortLoadResult loaded = file.Load();
    outcome += loaded.port + (loaded.savePending ? " save" : "");
    return outcome + (loaded.writeError ? ": " + Reason(loaded.writeError, file.Path()) : "");
}

enum class Given {
    None,
    ReadOnlyFile,    // mode 0444
    NoAccessFile,    // mode 0000
    ReadOnlyFolder,  // the folder 0555
    HeldOpen,        // another exclusive open of the file lasts through the operations
    NullDevice,      // the path is the null device
};

struct FileRow {
    const char* name;
    std::string before;       // "<none>" for no file
    const char* save;         // Save(save) before Load(), unless null
    std::string outcome;      // as Outcome() gives it
    std::string after = "=";  // the file's bytes afterwards; "=" for as before
    Given given = Given::None;
    const char* file = "ZK4.ini";  // in the test's folder
};

// Every byte written is read back as it is on disk, so CR LF must stay CR LF on every platform.
void Check(const FileRow& row) {
    SCOPED_TRACE(row.name);
    test::TempDir dir;
    PortSettingsFile file(row.given == Given::NullDevice ? test::NullDevice() : dir / row.file);
    const fs::path path = file.Path();
    if (row.before != "<none>") {
        test::WriteFile(path, row.before);
    }
    const fs::path modeOf = row.given == Given::ReadOnlyFolder ? dir.Path() : path;
    const std::map<Given, fs::perms> modes = {{Given::ReadOnlyFile, fs::perms(0444)},
                                              {Given::NoAccessFile, fs::perms::none},
                                              {Given::ReadOnlyFolder, fs::perms(0555)}};
    if (modes.contains(row.given)) {
        fs::permissions(modeOf, modes.at(row.given));
    }
    Opened held = row.given == Given::HeldOpen
                      ? NativeFileSystem().Open(path.string(), OpenMode::Read)
                      : Opened{};
    EXPECT_EQ(Outcome(file, row.save), row.outcome);
    held.file.reset();  // on Windows nothing else, this test included, may read it while held
    if (modes.contains(row.given)) {
        fs::permissions(modeOf, fs::perms::owner_all);
    }
    if (row.given != Given::NullDevice) {
        EXPECT_EQ(fs::exists(path) ? test::ReadFile(path) : "<none>",
                  row.after == "=" ? row.before : row.after);
    }
}

TEST(PortSettingsFile, LoadsSavesInPlaceAndSaysWhyNot) {
    const FileRow rows[] = {
        {"MissingFileGetsTheDefault", "<none>", nullptr, "COM1", "COM=1;\r\n"},
        {"EmptyFileGetsTheDefault", "", nullptr, "COM1", "COM=1;\r\n"},
        {"ReadPast64KAcrossBlocks", ";" + std::string(70000, 'x') + "\r\nCOM=7;\r\n", nullptr,
         "COM7"},
        {"ShorterRecordLeavesTheRest", "COM=12;\r\n", "COM3", "saved | COM3", "COM=3;\r\n\n"},
        {"HandWrittenLinesStay", "; my port\r\nCOM=12;\r\n", "COM3", "saved | COM12",
         "COM=3;\r\nt\r\nCOM=12;\r\n"},
        {"NameWithoutNumberSavedAsMalformed", "COM=1;\r\n", "COM", "saved | COM1 save",
         "COM=;\r\n\n"},
        {"SaveNeverCreatesTheFile", "<none>", "COM3", "the file no longer exists | COM1",
         "COM=1;\r\n"},
        {"FolderMissing", "<none>", nullptr, "COM1: the folder does not exist", "<none>",
         Given::None, "gone/ZK4.ini"},
        {"HeldByAnotherOpenIsLeftAlone", "COM=5;\r\n", "COM3",
         "the file is locked by another program | COM1: the file is locked by another program", "=",
         Given::HeldOpen},
        {"DeviceIsNotAFile", "<none>", "COM3",
         "the path is not a regular file | COM1: the path is not a regular file", "=",
         Given::NullDevice},
    };
    for (const FileRow& row : rows) {
        Check(row);
    }
}

// Root ignores file modes: as root this runs again as uid 65534.
TEST(PortSettingsFile, FileModesDecideWhatIsWrittenAndWhere) {
    if (!test::PosixSystem()) {
        GTEST_SKIP() << "file modes that refuse this process are a POSIX matter";
    }
    if (test::RunningAsRoot()) {
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    const FileRow rows[] = {
        {"ReadOnlyFolder", "<none>", nullptr, "COM1: the folder is read-only", "<none>",
         Given::ReadOnlyFolder},
        {"ReadOnlyFileIsReadNotWritten", "COM=2;\r\n", "COM3", "permission denied | COM2", "=",
         Given::ReadOnlyFile},
        {"UnreadableFileIsNotEmptied", "COM=2;\r\n", nullptr, "COM1: permission denied", "=",
         Given::NoAccessFile},
    };
    for (const FileRow& row : rows) {
        Check(row);
    }
}

// One file on a fake disk: each read and write moves as many bytes as its script says (then
// all that is asked), or fails where the script says -1.
struct FakeDisk final : FileSystem {
    std::string content;
    std::vector<int> reads, writes;
    std::optional<FileError> closeError;

    static int Next(std::vector<int>& script, std::size_t all) {
        const int n = script.empty() ? static_cast<int>(all) : script.front();
        script.erase(script.begin(), script.begin() + (script.empty() ? 0 : 1));
        return std::min(n, static_cast<int>(all));
    }
    struct File final : OpenFile {
        explicit File(FakeDisk& disk) : disk(disk), size(disk.content.size()) {}
        std::uint64_t Size() const override { return size; }
        std::optional<std::size_t> Read(std::span<char> buffer) override {
            const int n = Next(disk.reads, std::min(buffer.size(), size - at));
            if (n >= 0) {
                std::copy_n(disk.content.begin() + static_cast<std::ptrdiff_t>(at), n,
                            buffer.begin());
                at += static_cast<std::size_t>(n);
            }
            return n < 0 ? std::nullopt : std::optional<std::size_t>(n);
        }
        Written WriteAt(std::uint64_t offset, std::string_view bytes) override {
            const int n = Next(disk.writes, bytes.size());
            if (n < 0) {
                return {0, FileError{FileFault::DiskFull, {}}};
            }
            disk.content.replace(static_cast<std::size_t>(offset), static_cast<std::size_t>(n),
                                 bytes.substr(0, static_cast<std::size_t>(n)));
            return {static_cast<std::size_t>(n), std::nullopt};
        }
        std::optional<FileError> Close() override { return std::exchange(disk.closeError, {}); }
        FakeDisk& disk;
        std::size_t size, at = 0;
    };

    Opened Open(const std::string&, OpenMode mode) override {
        content = mode == OpenMode::Create ? "" : content;
        return {std::make_unique<File>(*this), {}};
    }
    bool CanCreateIn(const std::string&) override { return true; }
    bool CanReadAndWrite(const std::string&) override { return true; }
    void MakeFolder(const std::string&) override {}
    std::string_view Separators() const override { return "/"; }
};

TEST(PortSettingsFile, ShortWritesShortReadsAndFailuresOfTheDisk) {
    const std::string two = "COM=3;\r\nCOM=7;\r\n";
    const struct {
        const char* name;
        std::string before;
        const char* save;     // Save(save) before Load(), unless null
        std::string outcome;  // as Outcome() gives it
        std::string after;
        std::vector<int> reads = {}, writes = {};
        bool closeFails = false;
    } rows[] = {
        {"WritesThatAddUp", "COM=12;\r\n", "COM3", "saved | COM3", "COM=3;\r\n\n", {}, {3, 2, 1}},
        {"WriteThatStopsShort",
         "COM=12;\r\n",
         "COM4",
         "only 3 of 8 bytes could be written | COM12",
         "COM=12;\r\n",
         {},
         {3, 0}},
        {"DiskFull", "COM=12;\r\n", "COM3", "the disk is full | COM12", "COM=12;\r\n", {}, {-1}},
        {"CloseFails",
         "COM=1;\r\n",
         "COM3",
         "input/output error | COM3",
         "COM=3;\r\n",
         {},
         {},
         true},
        {"ReadOfNothingEndsTheFile", two, nullptr, "COM3", two, {8, 0}},
        {"ReadErrorDropsTheLineInProgress", two, nullptr, "COM3", two, {13, -1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDisk disk;
        disk.content = row.before;
        disk.reads = row.reads;
        disk.writes = row.writes;
        if (row.closeFails) {
            disk.closeError = FileError{FileFault::Other, "input/output error"};
        }
        PortSettingsFile file("/fake/ZK4.ini", disk);
        EXPECT_EQ(Outcome(file, row.save), row.outcome);
        EXPECT_EQ(disk.content, row.after);
    }
}

}  // namespace
}  // namespace zk4
