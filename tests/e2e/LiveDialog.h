// The real main dialog on the real serial layer and the steady clock, in its own folder (its
// own ZK4.ini and ports/), with messages recorded instead of shown.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <functional>
#include <memory>

#include "serial/QtSerialPort.h"
#include "support/DialogHarness.h"

namespace zk4::test {

// Runs the event loop (timer ticks included) until `done` holds or the deadline passes.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the event loop for a while, whatever happens.
inline void RunFor(int ms) {
    WaitFor([] { return false; }, ms);
}

class LiveDialog {
  public:
    LiveDialog() : serial((dir.Path() / "ports").string()) {
        dlg = std::make_unique<CToolsetDlg>(
            DialogPlatform{serial, clock,
                           [this](QWidget*, const QString& text, MessageIcon icon) {
                               messages.push_back({text.toStdString(), icon});
                               if (onMessage) {
                                   onMessage(messages.back());
                               }
                           },
                           QString::fromStdString(ExePath()),
                           QString::fromStdString(dir / "config"), window});
    }

    std::string ExePath() const { return dir / "ZK4"; }
    std::string IniPath() const { return dir / "ZK4.ini"; }
    QString Text(int id) const { return ControlText(dlg->GetDlgItem(id)); }
    void SetText(int id, const QString& text) { SetControlText(dlg->GetDlgItem(id), text); }
    bool Enabled(int id) const { return dlg->GetDlgItem(id)->isEnabled(); }
    // What the user sees of an identified device.
    bool Identified() const {
        return Text(IDC_PRODUCT_ID).startsWith("ZK4-") && Enabled(IDC_DISCONNECT);
    }

    TempDir dir;
    SteadyClock clock;
    QtSerialPort serial;
    RxWindow window;
    std::vector<RecordedMessage> messages;
    std::function<void(const RecordedMessage&)> onMessage;
    std::unique_ptr<CToolsetDlg> dlg;
};

}  // namespace zk4::test
