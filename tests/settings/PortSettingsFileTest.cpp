// The settings file on the real file system (rows that need POSIX file modes are skipped on
// Windows), and on a fake one for what a disk rarely does: short writes and reads, failures.
#include "settings/PortSettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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
    outcome += loaded.writeError ? ": " + Reason(loaded.writeError, file.Path()) : "";
    return outcome;
}

enum class Given {
    None,
    ReadOnlyFile,    // mode 0444
    NoAccessFile,    // mode 0000
    ReadOnlyFolder,  // the folder 0555, without a file
    HeldOpen,        // another exclusive open of the file lasts through the operations
    NullDevice,      // the path is the null device
};

struct FileRow {
    const char* name;
    std::string before;       // "<none>" for no file
    const char* save;         // Save(save) before Load(), unless null
    std::string outcome;      // as Outcome() gives it
    std::string after = "=";  // the file's bytes afterwards; "=" for as before
    Given setup = Given::None;
    const char* file = "ZK4.ini";  // in the test's folder
};

void PrintTo(const FileRow& row, std::ostream* out) {
    *out << row.name;
}

class SettingsFileOnDisk : public testing::TestWithParam<FileRow> {};

// Every byte written is read back as it is on disk: CR LF stays CR LF on every platform.
TEST_P(SettingsFileOnDisk, LoadsSavesInPlaceAndSaysWhyNot) {
    const FileRow& row = GetParam();
    const bool modes = row.setup == Given::ReadOnlyFile || row.setup == Given::NoAccessFile ||
                       row.setup == Given::ReadOnlyFolder;
    if (modes && !test::PosixSystem()) {
        GTEST_SKIP() << "file modes that refuse this process are a POSIX matter";
    }
    if (modes && test::RunningAsRoot()) {  // root ignores file modes
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    test::TempDir dir;
    PortSettingsFile file(row.setup == Given::NullDevice ? test::NullDevice() : dir / row.file);
    const fs::path path = file.Path();
    if (row.before != "<none>") {
        test::WriteFile(path, row.before);
    }
    const fs::path modeOf = row.setup == Given::ReadOnlyFolder ? path.parent_path() : path;
    if (modes) {
        fs::permissions(modeOf, row.setup == Given::ReadOnlyFolder ? fs::perms(0555)
                                : row.setup == Given::ReadOnlyFile ? fs::perms(0444)
                                                                   : fs::perms::none);
    }
    Opened held = row.setup == Given::HeldOpen
                      ? NativeFileSystem().Open(path.string(), OpenMode::Read)
                      : Opened{};
    ASSERT_EQ(held.file != nullptr, row.setup == Given::HeldOpen);

    EXPECT_EQ(Outcome(file, row.save), row.outcome);
    held.file.reset();  // on Windows nothing else, this test included, may read it while held
    if (modes) {
        fs::permissions(modeOf, fs::perms::owner_all);
    }
    if (row.setup != Given::NullDevice) {
        EXPECT_EQ(fs::exists(path) ? test::ReadFile(path) : "<none>",
                  row.after == "=" ? row.before : row.after);
    }
}

const std::string kPast64k = ";" + std::string(70000, 'x') + "\r\nCOM=7;\r\n";

INSTANTIATE_TEST_SUITE_P(
    PortSettingsFile, SettingsFileOnDisk,
    testing::Values(
        FileRow{"MissingFileGetsTheDefault", "<none>", nullptr, "COM1", "COM=1;\r\n"},
        FileRow{"EmptyFileGetsTheDefault", "", nullptr, "COM1", "COM=1;\r\n"},
        FileRow{"ReadPast64KAcrossBlocks", kPast64k, nullptr, "COM7"},
        FileRow{"ShorterRecordLeavesTheRest", "COM=12;\r\n", "COM3", "saved | COM3",
                "COM=3;\r\n\n"},
        FileRow{"HandWrittenLinesStay", "; my port\r\nCOM=12;\r\n", "COM3", "saved | COM12",
                "COM=3;\r\nt\r\nCOM=12;\r\n"},
        FileRow{"NameWithoutNumberSavedAsMalformed", "COM=1;\r\n", "COM", "saved | COM1 save",
                "COM=;\r\n\n"},
        FileRow{"SaveNeverCreatesTheFile", "<none>", "COM3", "the file no longer exists | COM1",
                "COM=1;\r\n"},
        FileRow{"FolderMissing", "<none>", nullptr, "COM1: the folder does not exist", "<none>",
                Given::None, "gone/ZK4.ini"},
        FileRow{"HeldByAnotherOpenIsLeftAlone", "COM=5;\r\n", "COM3",
                "the file is locked by another program | COM1: the file is locked by another "
                "program",
                "=", Given::HeldOpen},
        FileRow{"DeviceIsNotAFile", "<none>", "COM3",
                "the path is not a regular file | COM1: the path is not a regular file", "=",
                Given::NullDevice},
        FileRow{"ReadOnlyFolder", "<none>", nullptr, "COM1: the folder is read-only", "<none>",
                Given::ReadOnlyFolder},
        FileRow{"ReadOnlyFileIsReadNotWritten", "COM=2;\r\n", "COM3", "permission denied | COM2",
                "=", Given::ReadOnlyFile},
        FileRow{"UnreadableFileIsNotEmptied", "COM=2;\r\n", nullptr, "COM1: permission denied", "=",
                Given::NoAccessFile}),
    [](const auto& row) { return std::string(row.param.name); });

// A portable copy keeps its file beside the executable; the config folder and its missing
// parent are made only when chosen, private to this user.
struct ChoiceRow {
    const char* name;
    int folder;       // mode of the executable's folder; -1 to leave it (no modes needed)
    int ini;          // mode of an empty ZK4.ini beside the executable, or -1 for none
    const char* exe;  // in that folder
    std::string chosen;
};

void PrintTo(const ChoiceRow& row, std::ostream* out) {
    *out << row.name;
}

class SettingsFileChoice : public testing::TestWithParam<ChoiceRow> {};

TEST_P(SettingsFileChoice, BesideTheExecutableWhenItCanBeWrittenThereElseTheConfigFolder) {
    const ChoiceRow& row = GetParam();
    if (row.folder >= 0 && !test::PosixSystem()) {
        GTEST_SKIP() << "folder and file modes that refuse this process are a POSIX matter";
    }
    if (row.folder >= 0 && test::RunningAsRoot()) {  // root ignores file modes
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    test::TempDir dir;
    fs::create_directory(dir / "bin");
    if (row.ini >= 0) {
        test::WriteFile(dir / "bin/ZK4.ini", "");
        fs::permissions(dir / "bin/ZK4.ini", fs::perms(row.ini));
    }
    if (row.folder >= 0) {
        fs::permissions(dir / "bin", fs::perms(row.folder));
    }
    const std::string path = ChooseSettingsPath(dir / "bin/" + row.exe, dir / "config/ZK4");
    EXPECT_EQ(path, dir / row.chosen);
    if (row.folder >= 0) {
        EXPECT_EQ(fs::status(dir / "config").permissions(),
                  row.chosen.starts_with("config") ? fs::perms::owner_all : fs::perms::unknown);
    }
    EXPECT_FALSE(PortSettingsFile(path).Load().writeError);
    fs::permissions(dir / "bin", fs::perms::owner_all);
}

INSTANTIATE_TEST_SUITE_P(
    PortSettingsFile, SettingsFileChoice,
    testing::Values(ChoiceRow{"WritableFolder", -1, -1, "ZK4.EXE", "bin/ZK4.EXEZK4.ini"},
                    ChoiceRow{"ReadOnlyFolder", 0555, -1, "ZK4", "config/ZK4/ZK4.ini"},
                    ChoiceRow{"WritableFileInReadOnlyFolder", 0555, 0644, "ZK4", "bin/ZK4.ini"},
                    ChoiceRow{"ReadOnlyFile", 0555, 0444, "ZK4", "config/ZK4/ZK4.ini"},
                    ChoiceRow{"WriteOnlyFile", 0555, 0200, "ZK4", "config/ZK4/ZK4.ini"}),
    [](const auto& row) { return std::string(row.param.name); });

// One file on a fake disk: each read and write moves as many bytes as its script says (then
// all that is asked), or fails where the script says -1.
class FakeDisk final : public FileSystem {
  public:
    std::string content;
    std::vector<int> reads, writes;
    std::optional<FileError> closeError;

    Opened Open(const std::string&, OpenMode mode) override {
        if (mode == OpenMode::Create) {
            content.clear();
        }
        return {std::make_unique<File>(*this), {}};
    }
    bool CanCreateIn(const std::string&) override { return true; }
    bool CanReadAndWrite(const std::string&) override { return true; }
    void MakeFolder(const std::string&) override {}
    std::string_view Separators() const override { return "/"; }

  private:
    static int Next(std::vector<int>& script, std::size_t all) {
        if (script.empty()) {
            return static_cast<int>(all);
        }
        const int n = script.front();
        script.erase(script.begin());
        return std::min(n, static_cast<int>(all));
    }

    struct File final : OpenFile {
        explicit File(FakeDisk& disk) : disk(disk), size(disk.content.size()) {}
        std::uint64_t Size() const override { return size; }
        std::optional<std::size_t> Read(std::span<char> buffer) override {
            const int n = Next(disk.reads, std::min(buffer.size(), disk.content.size() - at));
            if (n < 0) {
                return std::nullopt;
            }
            std::copy_n(disk.content.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
            at += static_cast<std::size_t>(n);
            return static_cast<std::size_t>(n);
        }
        Written WriteAt(std::uint64_t offset, std::string_view bytes) override {
            const int n = Next(disk.writes, bytes.size());
            if (n < 0) {
                return {0, FileError{FileFault::DiskFull, {}}};
            }
            const auto from = static_cast<std::size_t>(offset);
            disk.content.resize(std::max(disk.content.size(), from + static_cast<std::size_t>(n)));
            disk.content.replace(from, static_cast<std::size_t>(n), bytes.substr(0, n));
            return {static_cast<std::size_t>(n), std::nullopt};
        }
        std::optional<FileError> Close() override { return std::exchange(disk.closeError, {}); }

        FakeDisk& disk;
        std::size_t size, at = 0;
    };
};

TEST(PortSettingsFile, ShortWritesAndReadsAndFailuresOfTheDisk) {
    const std::string twoLines = "COM=3;\r\nCOM=7;\r\n";
    const struct {
        const char* name;
        std::string before;
        std::vector<int> reads, writes;
        const char* save;     // Save(save) before Load(), unless null
        std::string outcome;  // as Outcome() gives it
        std::string after;
        bool closeFails = false;
    } rows[] = {
        {"ShortWritesThatAddUp",
         "COM=12;\r\n",
         {},
         {3, 2, 1},
         "COM3",
         "saved | COM3",
         "COM=3;\r\n\n"},
        {"WriteThatStopsShort",
         "COM=12;\r\n",
         {},
         {3, 0},
         "COM4",
         "only 3 of 8 bytes could be written | COM12",
         "COM=12;\r\n"},
        {"DefaultWriteThatStopsShort",
         "",
         {},
         {5, 0},
         nullptr,
         "COM1: only 5 of 8 bytes could be written",
         "COM=1"},
        {"DiskFull", "COM=12;\r\n", {}, {-1}, "COM3", "the disk is full | COM12", "COM=12;\r\n"},
        {"CloseFails",
         "COM=12;\r\n",
         {},
         {},
         "COM3",
         "input/output error | COM3",
         "COM=3;\r\n\n",
         true},
        {"ReadOfNothingEndsTheFile", twoLines, {8, 0}, {}, nullptr, "COM3", twoLines},
        {"ReadErrorDropsTheLineInProgress", twoLines, {13, -1}, {}, nullptr, "COM3", twoLines},
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
