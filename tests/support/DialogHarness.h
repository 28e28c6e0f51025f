// The real main dialog with a fake serial port, a fake clock, a message recorder and its own
// folder (so its own ZK4.ini), ready for tests under QT_QPA_PLATFORM=offscreen.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/TempDir.h"
#include "ui/ToolsetDlg.h"

namespace zk4::test {

struct RecordedMessage {
    std::string text;
    MessageIcon icon;
};

// What a control shows, and typing into it, for edit boxes, combo boxes and buttons.
inline QString ControlText(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        return e->text();
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        return c->currentText();
    }
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        return b->text();
    }
    return {};
}

inline void SetControlText(QWidget* w, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        c->setEditText(text);
    }
}

class DialogHarness {
  public:
    // `iniContent`: written to ZK4.ini before start-up unless empty-and-absent is wanted
    // (pass std::nullopt-like "" with createIni=false).
    explicit DialogHarness(const std::string* iniContent = nullptr, bool init = true)
        : clock(1000, 1), serial(&clock) {
        if (iniContent) {
            WriteFile(IniPath(), *iniContent);
        }
        dlg = std::make_unique<CToolsetDlg>(
            DialogPlatform{serial, clock,
                           [this](QWidget*, const QString& text, MessageIcon icon) {
                               messages.push_back({text.toStdString(), icon});
                               if (onMessage) {
                                   onMessage(messages.back());
                               }
                           },
                           QString::fromStdString(dir / "ZK4"), window});
        if (init) {
            dlg->OnInitDialog();
        }
    }

    std::string IniPath() const { return dir / "ZK4.ini"; }

    QString Text(int id) const { return ControlText(dlg->GetDlgItem(id)); }
    void SetText(int id, const QString& text) { SetControlText(dlg->GetDlgItem(id), text); }
    bool Enabled(int id) const { return dlg->IsDlgItemEnabled(id); }

    // Device bytes through the real receive path (notification -> framer -> line handler).
    void Device(std::string_view bytes) { serial.Receive(bytes); }

    // Connect, then the device answers firmware and identification.
    void Identify(std::string_view firmwareLine, std::string_view idLine) {
        dlg->OnConnect();
        Device(firmwareLine);
        Device(idLine);
    }

    TempDir dir;
    FakeClock clock;
    FakeSerialPort serial;
    RxWindow window;
    std::vector<RecordedMessage> messages;
    std::function<void(const RecordedMessage&)> onMessage;
    std::unique_ptr<CToolsetDlg> dlg;
};

// An identification line as the device sends it: pairs with the low-nibble character first,
// two free characters, and the checksum that makes bytes 0..17 plus itself sum to 0.
inline std::string MakeIdLine(std::uint8_t code, std::uint32_t serialNo, bool goodChecksum = true) {
    const char* hex = "0123456789ABCDEF";
    auto pair = [&](std::uint8_t b) { return std::string{hex[b & 0xF], hex[b >> 4]}; };
    std::string line = "ACK ID" + pair(code);
    for (int i = 0; i < 4; ++i) {
        line += pair(static_cast<std::uint8_t>(serialNo >> (8 * i)));
    }
    line += "00";
    std::uint8_t sum = 0;
    for (char c : line) {
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    }
    std::uint8_t check = static_cast<std::uint8_t>(0x100 - sum);
    if (!goodChecksum) {
        check = static_cast<std::uint8_t>(check + 1);
    }
    return line + pair(check) + "\r\n";
}

// Identification lines with correct checksums, as the device sends them.
inline constexpr std::string_view kIdJ1939_001 = "ACK IDA2100000000003\r\n";  // serial 1
inline constexpr std::string_view kIdJ1708_003 = "ACK ID65876543210051\r\n";  // 305419896

}  // namespace zk4::test
