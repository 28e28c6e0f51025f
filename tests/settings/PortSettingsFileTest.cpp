// ZK4.ini: its reading grammar on bytes alone; the file on the real file system (the rows about
// POSIX file modes are skipped on Windows), and on a fake disk for what a disk rarely does:
// short writes and reads, failures. The fuzz target holds the rest of the grammar: the record
// the tool writes, the port's spelling (upper case, the run of C, O, M and '=' removed, bounded).
#include "settings/PortSettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// "[<save's failure> | saved] | <port>[ save][: <load's failure>]", where a failure is what
// follows "Cannot write the port setting to <path>: ", or all of another text.
std::string Outcome(PortSettingsFile& file, const char* save) {
    const auto reason = [&file](const std::optional<UserText>& error) {
        const std::string text = error->English();
        const std::string head = "Cannot write the port setting to " + file.Path() + ": ";
        return text.starts_with(head) ? text.substr(head.size()) : text;
    };
    std::string outcome;
    if (save != nullptr) {
        const PortSaveResult saved = file.Save(save);
        outcome = (saved.error ? reason(saved.error) : "saved") + " | ";
    }
    const PortLoadResult loaded = file.Load();
    outcome += loaded.port + (loaded.savePending ? " save" : "");
    return outcome + (loaded.writeError ? ": " + reason(loaded.writeError) : "");
}

// Done to the file before the operations, or to its folder when there is no file.
enum class Given { None, HeldOpen, NullDevice, ReadOnly, NoAccess };

struct FileRow {
    const char* name;
    std::string before;       // "<none>" for no file
    const char* save;         // Save(save) before Load(), unless null
    std::string outcome;      // as Outcome() gives it
    std::string after = "=";  // the file's bytes afterwards; "=" for as before
    Given given = Given::None;
    std::string file = "ZK4.ini";  // in the test's folder
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
    std::error_code unknown;  // a name too long to look up is no file
    const fs::path modeOf = fs::exists(path, unknown) ? path : path.parent_path();
    const bool moded = row.given == Given::ReadOnly || row.given == Given::NoAccess;
    if (moded) {
        fs::permissions(modeOf, row.given == Given::ReadOnly ? fs::perms(0555) : fs::perms::none);
    }
    Opened held = row.given == Given::HeldOpen
                      ? NativeFileSystem().Open(path.string(), OpenMode::Read)
                      : Opened{};
    EXPECT_EQ(Outcome(file, row.save), row.outcome);
    held.file.reset();  // on Windows nothing else, this test included, may read it while held
    if (moded) {
        fs::permissions(modeOf, fs::perms::owner_all);
    }
    if (row.given != Given::NullDevice) {
        EXPECT_EQ(fs::exists(path, unknown) ? test::ReadFile(path) : "<none>",
                  row.after == "=" ? row.before : row.after);
    }
}

TEST(PortSettingsFile, LoadsSavesInPlaceAndSaysWhyNot) {
    using enum Given;
    const FileRow rows[] = {
        {"MissingFileGetsTheDefault", "<none>", nullptr, "COM1", "COM=1;\r\n"},
        {"EmptyFileGetsTheDefault", "", nullptr, "COM1", "COM=1;\r\n"},
        {"ReadPast64K", ";" + std::string(70000, 'x') + "\r\nCOM=7;\r\n", nullptr, "COM7"},
        // A malformed record read back asks for a save again.
        {"SavedInPlaceNotCut", "COM=12;\r\n", "COM", "saved | COM1 save", "COM=;\r\n\r\n"},
        {"SaveCreatesNoFile", "<none>", "COM3", "the file no longer exists. | COM1", "COM=1;\r\n"},
        {"NoFolder", "<none>", nullptr, "COM1: the folder does not exist.", "=", None, "no/x.ini"},
        {"Locked", "COM", nullptr, "COM1: the file is locked by another program.", "=", HeldOpen},
        {"NotAFile", "<none>", nullptr, "COM1: the path is not a regular file.", "=", NullDevice},
    };
    std::ranges::for_each(rows, Check);
}

// Root ignores file modes: as root this runs again as uid 65534.
TEST(PortSettingsFile, WhatAPosixSystemRefusesIsToldInItsWords) {
    if (!test::PosixSystem()) {
        GTEST_SKIP() << "file modes that refuse this process are a POSIX matter";
    }
    if (test::RunningAsRoot()) {
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    using enum Given;
    const FileRow rows[] = {
        {"ReadOnlyFolder", "<none>", nullptr, "COM1: the folder is read-only.", "=", ReadOnly},
        {"ReadOnlyFile", "COM=2;\r\n", "COM3", "permission denied. | COM2", "=", ReadOnly},
        {"UnreadableNotEmptied", "COM=2;\r\n", nullptr, "COM1: permission denied.", "=", NoAccess},
        // The system's own words, as the end of a sentence.
        {"LongName", "<none>", nullptr, "COM1: file name too long.", "=", None,
         std::string(300, 'x')},
    };
    std::ranges::for_each(rows, Check);
}

// One file on a fake disk: each read and write moves as many bytes as the next number of its
// script says (-1: it fails), then all that is asked.
struct FakeDisk final : FileSystem {
    std::string content = "COM=3;\r\nCOM=7;\r\n";
    std::vector<int> reads, writes;
    bool closeFails = false;

    static int Next(std::vector<int>& script, std::size_t all) {
        const int n = script.empty() ? static_cast<int>(all) : script.front();
        script.erase(script.begin(), script.begin() + (script.empty() ? 0 : 1));
        return std::min(n, static_cast<int>(all));
    }
    struct File final : OpenFile {
        explicit File(FakeDisk& disk) : disk(disk) {}
        std::uint64_t Size() const override { return disk.content.size(); }
        std::optional<std::size_t> Read(std::span<char> buffer) override {
            const int n = Next(disk.reads, std::min(buffer.size(), disk.content.size() - at));
            if (n < 0) {
                return std::nullopt;
            }
            at += disk.content.copy(buffer.data(), static_cast<std::size_t>(n), at);
            return static_cast<std::size_t>(n);
        }
        Written WriteAt(std::uint64_t offset, std::string_view bytes) override {
            const int n = Next(disk.writes, bytes.size());
            if (n < 0) {
                return {0, FileError{FileFault::DiskFull, {}}};
            }
            const auto count = static_cast<std::size_t>(n);
            disk.content.replace(static_cast<std::size_t>(offset), count, bytes.substr(0, count));
            return {count, std::nullopt};
        }
        std::optional<FileError> Close() override {
            return disk.closeFails
                       ? std::optional(FileError{FileFault::Other, "input/output error"})
                       : std::nullopt;
        }
        FakeDisk& disk;
        std::size_t at = 0;
    };

    Opened Open(const std::string&, OpenMode) override {
        return {std::make_unique<File>(*this), {}};
    }
    bool CanCreateIn(const std::string&) override { return true; }
    bool CanReadAndWrite(const std::string&) override { return true; }
    void MakeFolder(const std::string&) override {}
    std::string_view Separators() const override { return "/"; }
};

// The disk holds "COM=3;\r\nCOM=7;\r\n"; each row saves COM4 over its first line, then loads.
TEST(PortSettingsFile, ShortWritesShortReadsAndFailuresOfTheDisk) {
    const std::string saved = "COM=4;\r\nCOM=7;\r\n", kept = "COM=3;\r\nCOM=7;\r\n";
    const struct {
        const char* name;
        std::vector<int> reads, writes;
        std::string outcome, after;
        bool closeFails = false;
    } rows[] = {
        {"WritesThatAddUp", {}, {3, 2, 1}, "saved | COM7", saved},
        {"WriteStopsShort", {}, {3, 0}, "only 3 of 8 bytes could be written. | COM7", kept},
        {"DiskFull", {}, {-1}, "the disk is full. | COM7", kept},
        {"CloseFails", {}, {}, "input/output error. | COM7", saved, true},
        {"ReadOfNothingEndsTheFile", {8, 0}, {}, "saved | COM4", saved},
        {"ReadErrorDropsTheLineInProgress", {13, -1}, {}, "saved | COM4", saved},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDisk disk;
        std::tie(disk.reads, disk.writes, disk.closeFails) =
            std::tuple(row.reads, row.writes, row.closeFails);
        PortSettingsFile file("/fake/ZK4.ini", disk);
        EXPECT_EQ(Outcome(file, "COM4"), row.outcome);
        EXPECT_EQ(disk.content, row.after);
    }
}

// Each file's bytes are read whole and again a byte at a time, so a rule that only holds
// within one piece fails here too.
TEST(PortSettingsReader, TheLastPortLineDecidesAndAMalformedOneAsksForASave) {
    const std::string longest(PortSettingsReader::kMaxPortValue, '7');
    const struct {
        const char* name;
        std::string bytes;
        std::string port;
        bool save = false;
    } rows[] = {
        {"PortLine", "COM=7;\r\n", "COM7"},
        // The first byte alone makes a comment, and a leading blank or CR no port line.
        {"NoPortLine", ";COM=7;\r\n/COM=7;\r\n COM=7;\r\n\rCOM=7;\r\nPORT=7;\r\n", "COM1"},
        {"BlankLinesBetweenAndTheLastWins", "COM=3;\r\n\r\n\nCOM=8;\r\n", "COM8"},
        {"AnyWordStartingWithComIsAPortLine", "COM=3;\r\nCOMMENT\r\n", "COM1", true},
        {"NoSemicolon", "COM=5\r\n", "COM1", true},
        {"EmptyValue", "COM=;\r\n", "COM1", true},
        {"NothingAfterCom", "COM;\r\n", "COM1", true},
        {"SaveRequestOutlivesAGoodLine", "COM=;\r\nCOM=9;\r\n", "COM9", true},
        {"LastLineWithoutLineFeed", "COM=4;", "COM4"},
        {"TextAfterSemicolonIgnored", "COM=6; x\r\n", "COM6"},
        {"LongestValue", "COM=" + longest + ";", "COM" + longest},
        {"ValueTooLongIsMalformed", "COM=" + longest + "7;\r\nCOM=3;", "COM3", true},
    };
    for (const auto& [name, bytes, port, save] : rows) {
        PortSettingsReader reader;
        for (const char byte : bytes) {
            reader.Feed(std::string_view(&byte, 1));
        }
        reader.Finish();
        EXPECT_EQ(std::tuple(ParsePortSettings(bytes), reader.Setting()),
                  std::tuple(PortSetting{port, save}, PortSetting{port, save}))
            << name;
    }
}

}  // namespace
}  // namespace zk4
