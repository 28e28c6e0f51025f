// Appends value records to a CSV file. Each row is on the disk when Append returns, so nothing
// written is lost if the tool or the machine stops; an empty or new file gets the header first.
#pragma once

#include <QDate>
#include <QFile>
#include <optional>
#include <string>

#include "text/UserText.h"
#include "workshop/ValueRecord.h"

namespace zk4 {

class CsvRecorder {
  public:
    // Opens the file for appending, creating it; the reason for the user when it cannot.
    std::optional<UserText> Open(const std::string& path);
    // The reason when the row could not be written; the file is closed then.
    std::optional<UserText> Append(const ValueRecord& record);
    void Close() { m_file.close(); }
    bool IsOpen() const { return m_file.isOpen(); }
    const std::string& Path() const { return m_path; }

  private:
    std::optional<UserText> Write(const std::string& bytes);

    QFile m_file;
    std::string m_path;
};

// The name a recording is offered under: product ID, serial number and date,
// "ZK4-J1939-003_305419896_2026-12-07.csv"; "ZK4_2026-12-07.csv" before a device is identified.
// Characters a file name should not carry become "-".
std::string DefaultRecordName(const DeviceValues& values, const QDate& date);

// Flushes what the system holds of an open file to the disk (fsync); false when it could not.
bool SyncToDisk(QFile& file);

}  // namespace zk4
