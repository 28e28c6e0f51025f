// The workshop's commands as only the real window shows them: the window menu and its
// shortcuts, the recording's menu item and its write error, the chart's history across closing
// and its gaps, and the calibration assistant's way into the Hz-per-MPH box. The arithmetic, the
// history's runs and the rows' columns are tested without a window.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QChartView>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "support/DialogHarness.h"
#include "ui/ChartWindow.h"

namespace zk4::test {
namespace {

struct Shown : DialogHarness {
    Shown() {
        dlg->show();
        Identify();  // a J1708-003: both settings
    }
    void Poll(int times = 1) {  // the device answers, then the tick
        for (int i = 0; i < times; ++i) {
            serial.Receive("AT DV=12.6\r\nAT RPM=800\r\nAT MPH=45\r\nAT HZVSMPH=1.7881\r\n");
            Tick();
        }
    }
    // Presses `key` in the Hz-per-MPH box (the dialog active again); once a modal window is up,
    // runs `then` with it, and closes it if it is still open.
    void Press(QKeyCombination key, const std::function<void(QDialog*)>& then = {}) {
        QApplication::setActiveWindow(dlg.get());
        Item(IDC_HZ_PER_MPH)->setFocus();
        QTimer::singleShot(0, [then] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                QApplication::setActiveWindow(modal);
                then ? then(modal) : void();
                modal->isVisible() ? modal->reject() : void();
            }
        });
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        QApplication::processEvents();  // no modal window: the timer finds nothing
    }
    // The file's rows, header included, and the recording command's text.
    std::pair<long, QString> Recorded(const std::string& path) const {
        return {std::ranges::count(ReadFile(path), '\n'), dlg->WindowMenu()->actions()[2]->text()};
    }
};

// The commands sit in the window menu, before About as always; each test presses their shortcuts
// in the Hz-per-MPH box, which takes no Ctrl key for itself. A row a poll while linked, in the
// file named after the device; Stop recording ends it; a file that stops taking rows (here: the
// process's file size limit) is told once, and the recording stops.
TEST(Workshop, RecordingWritesARowAPollUntilStoppedOrTheFileFails) {
    Shown h;
    QStringList menu;
    for (const QAction* action : h.dlg->WindowMenu()->actions()) {
        menu << action->text() + action->shortcut().toString();
    }
    EXPECT_EQ(menu.join('|').toStdString(),
              "&CloseAlt+F4||&Record values...Ctrl+R|C&hart...Ctrl+T|Calibrate &speed...Ctrl+L||"
              "&About ZK4 Toolset...");
    const std::string path = h.dir / "values.csv";
    const auto record = [&](QDialog* modal) {  // types the path over the name offered
        EXPECT_EQ(static_cast<QFileDialog*>(modal)->selectedFiles().value(0).section('/', -1),
                  "ZK4-J1708-003_305419896_" + QDate::currentDate().toString(Qt::ISODate) + ".csv");
        modal->focusWidget()->setProperty("text", QString::fromStdString(path));
        modal->accept();  // as the Record button does
    };
    h.Press(Qt::CTRL | Qt::Key_R, record);
    h.Poll(2);
    EXPECT_EQ(h.Recorded(path), std::pair(3L, QString("Stop &recording")));
    h.dlg->WindowMenu()->actions()[2]->trigger();
    h.Poll();
    EXPECT_EQ(h.Recorded(path), std::pair(3L, QString("&Record values...")));

    h.Press(Qt::CTRL | Qt::Key_R, record);
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{static_cast<rlim_t>(ReadFile(path).size()), limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    h.Poll();
    ::setrlimit(RLIMIT_FSIZE, &limit);
    h.Poll();
    QApplication::processEvents();  // the message is posted
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].text, "Cannot write the values to " + path +
                                      ": File too large.\nThe recording has stopped.");
    EXPECT_EQ(h.Recorded(path), std::pair(3L, QString("&Record values...")));
}

// Points per run, " " after each run, in every plot.
std::string Runs(ChartWindow* chart) {
    std::string runs;
    for (const QChartView* view : chart->findChildren<QChartView*>()) {
        for (const QAbstractSeries* series : view->chart()->series()) {
            const int points = static_cast<const QLineSeries*>(series)->count();
            runs += points ? std::to_string(points) + " " : "";
        }
    }
    return runs;
}

// The history is kept (and not drawn) while the chart is closed; where the link was down the
// lines stop and start again.
TEST(Workshop, ChartKeepsItsHistoryWhileClosedAndLeavesAGapWhereTheLinkWasDown) {
    Shown h;
    h.Poll(2);
    h.Press(Qt::CTRL | Qt::Key_T);
    auto* chart = h.dlg->findChild<ChartWindow*>();
    ASSERT_NE(chart, nullptr);
    chart->close();
    h.Poll();
    h.dlg->OnDisconnect();
    h.Identify();
    h.Poll(2);
    EXPECT_EQ(Runs(chart), "2 2 2 ");  // not drawn while closed
    h.Press(Qt::CTRL | Qt::Key_T);
    EXPECT_EQ(Runs(chart), "3 2 3 2 3 2 ");
}

// After `before` polls at 45 MPH the assistant opens; `digits` are typed into the GPS box (0) or
// the measured mile's (1), `during` more polls come, the link drops or not, Enter. What it
// said, then the Hz box, and what was sent after the last poll.
TEST(Workshop, CalibrationPutsTheNewSettingIntoTheHzBoxAndSendsNothing) {
    const std::tuple<int, int, int, const char*, bool, std::string, std::string> rows[] = {
        {10, 0, 0, "50", false, "<b>1.6093</b>", "1.6093"},
        {9, 1, 1, "72", false, "<b>1.6093</b>", "1.6093"},  // the tenth poll while it is open
        {10, 0, 0, "50", true, "No ZK4 is linked: connect one, then drive at a steady speed.",
         "1.7881"},
    };
    for (const auto& [before, during, box, digits, drop, said, hzBox] : rows) {
        Shown h;
        h.Poll(before);
        std::string seen;
        h.Press(Qt::CTRL | Qt::Key_L, [&](QDialog* modal) {
            QTest::keyClicks(modal->findChildren<QLineEdit*>().value(box), digits);
            h.Poll(during);  // shown as it comes, with nothing typed after it
            drop ? h.dlg->OnDisconnect() : void();  // told at once, with nothing typed after
            seen = modal->findChild<QLabel*>("result")->text().toStdString();
            h.serial.ClearWritten();
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(std::tuple(seen, h.Text(IDC_HZ_PER_MPH).toStdString(), h.serial.WrittenText()),
                  std::tuple(said, hzBox, std::string()))
            << before << digits << drop;
    }
}

}  // namespace
}  // namespace zk4::test
