// The real main dialog in its own folder (so its own ZK4.ini), its messages recorded instead of
// shown: on a fake port and clock for dialog tests, on the real ones against zk4-sim.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/Clock.h"
#include "support/LinkHarness.h"
#include "support/TempDir.h"
#include "ui/ToolsetDlg.h"

namespace zk4::test {

// What each port is made from: the fake records the clock reading of each byte it is given.
inline FakeClock* PortArgument(const TempDir&, FakeClock& clock) {
    return &clock;
}
inline std::string PortArgument(const TempDir& dir, SteadyClock&) {
    return dir / "ports";
}

template <class Port, class ClockType>
struct DialogOn {
    QWidget* Item(int id) const { return dlg->GetDlgItem(id); }
    QString Text(int id) const {  // what an edit box, a combo box or a button shows
        auto* combo = qobject_cast<QComboBox*>(Item(id));
        return combo ? combo->currentText() : Item(id)->property("text").toString();
    }
    void SetText(int id, const QString& text) {
        auto* combo = qobject_cast<QComboBox*>(Item(id));
        combo ? combo->setEditText(text) : void(Item(id)->setProperty("text", text));
    }
    bool Enabled(int id) const { return Item(id)->isEnabled(); }
    void Click(int id) { qobject_cast<QAbstractButton*>(Item(id))->click(); }  // not when disabled

    TempDir dir;
    std::string exe = dir / "ZK4", ini = dir / "ZK4.ini";
    ClockType clock;
    Port serial{PortArgument(dir, clock)};
    RxWindow window;
    std::vector<RecordedMessage> messages;
    int open = 0, mostOpen = 0;               // boxes open now, and at most at once
    std::function<void()> whileOpen = [] {};  // what happens while a box is open
    std::unique_ptr<CToolsetDlg> dlg = std::make_unique<CToolsetDlg>(DialogPlatform{
        serial, clock,
        [this](QWidget*, const QString& text, MessageIcon icon) {
            messages.push_back({text.toStdString(), icon});
            mostOpen = std::max(mostOpen, ++open);
            whileOpen();
            --open;
        },
        QString::fromStdString(exe), QString::fromStdString(dir / "config"), window});
};

// On a fake port and clock, started, with `iniContent` in ZK4.ini first when given.
struct DialogHarness : DialogOn<FakeSerialPort, FakeClock> {
    explicit DialogHarness(const char* iniContent = nullptr) {
        if (iniContent) {
            WriteFile(ini, iniContent);
        }
        dlg->OnInitDialog();
    }
    void Tick() { dlg->OnTimer(kTimerId); }
    // Connect, then the device answers firmware and identification.
    void Identify(std::string_view firmware = kFirmwareOk, std::string_view id = kIdJ1708_003) {
        dlg->OnConnect();
        serial.Receive(firmware);  // through the framer to the line handler
        serial.Receive(id);
    }
};

}  // namespace zk4::test
