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

#include "support/LinkHarness.h"
#include "support/TempDir.h"
#include "ui/ToolsetDlg.h"

namespace zk4::test {

// What a control shows, and typing into it, for edit boxes, combo boxes and buttons.
inline QString ControlText(QWidget* w) {
    auto* combo = qobject_cast<QComboBox*>(w);
    return combo ? combo->currentText() : w->property("text").toString();
}

inline void SetControlText(QWidget* w, const QString& text) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setEditText(text);
    } else if (qobject_cast<QLineEdit*>(w)) {
        w->setProperty("text", text);
    }
}

class DialogHarness {
  public:
    // `iniContent`: written to ZK4.ini before start-up when given.
    explicit DialogHarness(const std::string* iniContent = nullptr)
        : clock(1000, 1), serial(&clock) {
        if (iniContent) {
            WriteFile(dir / "ZK4.ini", *iniContent);
        }
        dlg = std::make_unique<CToolsetDlg>(DialogPlatform{
            serial, clock,
            [this](QWidget*, const QString& text, MessageIcon icon) {
                messages.push_back({text.toStdString(), icon});
                if (onMessage) {
                    onMessage(messages.back());
                }
            },
            QString::fromStdString(dir / "ZK4"), QString::fromStdString(dir / "config"), window});
        dlg->OnInitDialog();
    }

    QString Text(int id) const { return ControlText(dlg->GetDlgItem(id)); }
    void SetText(int id, const QString& text) { SetControlText(dlg->GetDlgItem(id), text); }
    bool Enabled(int id) const { return dlg->GetDlgItem(id)->isEnabled(); }
    void Tick() { dlg->OnTimer(kTimerId); }

    // Device bytes through the real receive path (notification -> framer -> line handler).
    void Device(std::string_view bytes) { serial.Receive(bytes); }

    // Connect, then the device answers firmware and identification.
    void Identify(std::string_view firmwareLine = kFirmwareOk,
                  std::string_view idLine = kIdJ1708_003) {
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

}  // namespace zk4::test
