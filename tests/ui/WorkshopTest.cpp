// The workshop's commands as only the real window shows them: the window menu and its
// shortcuts, the recording's menu item and its write error, the chart's history across closing
// and its gaps, and the calibration assistant's way into the Hz-per-MPH box. The arithmetic and
// the history's runs are tested without a window.
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QChart>
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
    void Poll() {  // the device answers, then the tick
        serial.Receive("AT DV=12.6\r\nAT RPM=800\r\nAT MPH=45\r\nAT CN=4\r\nAT HZVSMPH=1.7881\r\n");
        Tick();
    }
    QString MenuText(int command) const { return dlg->WindowMenu()->actions()[command]->text(); }
    // Presses `key` in the Hz-per-MPH box (the dialog active again); once a modal window is up,
    // runs `then` with it, and closes it if it is still open.
    void Press(QKeyCombination key, const std::function<void(QWidget*)>& then = {}) {
        QApplication::setActiveWindow(dlg.get());
        Item(IDC_HZ_PER_MPH)->setFocus();
        QTimer::singleShot(0, [then] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && then) {
                QApplication::setActiveWindow(modal);
                then(modal);
            }
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                box->reject();
            }
        });
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        QApplication::processEvents();  // no modal window: the timer finds nothing
    }
    void Record(const std::string& path) {  // types the path over the name offered
        Press(Qt::CTRL | Qt::Key_R, [&](QWidget* modal) {
            modal->focusWidget()->setProperty("text", QString::fromStdString(path));
            static_cast<QDialog*>(modal)->accept();  // as the Record button does
        });
    }
    ChartWindow* Chart() const { return dlg->findChild<ChartWindow*>(); }
};

std::size_t Rows(const std::string& path) {
    return static_cast<std::size_t>(std::ranges::count(ReadFile(path), '\n'));
}

// The commands sit in the window menu, before About as always; each test presses their shortcuts
// in the Hz-per-MPH box, which takes no Ctrl key for itself. A row a poll while linked, in the
// offered file; Stop recording ends it; a file that stops taking rows (here: the process's file
// size limit) is told once, and the recording stops.
TEST(Workshop, RecordingWritesARowAPollUntilStoppedOrTheFileFails) {
    Shown h;
    QStringList menu;
    for (const QAction* action : h.dlg->WindowMenu()->actions()) {
        menu << action->text() + action->shortcut().toString();
    }
    EXPECT_EQ(menu.join('|').toStdString(),
              "&CloseAlt+F4||&Record values...Ctrl+R|C&hart...Ctrl+T|Calibrate &speed...Ctrl+L||"
              "&About ZK4 Toolset...");
    h.Press(Qt::CTRL | Qt::Key_R, [&](QWidget* modal) {
        EXPECT_EQ(static_cast<QFileDialog*>(modal)->selectedFiles().value(0).section('/', -1),
                  "ZK4-J1708-003_305419896_" + QDate::currentDate().toString(Qt::ISODate) + ".csv");
    });
    const std::string path = h.dir / "values.csv";
    h.Record(path);
    EXPECT_EQ(h.MenuText(2), "Stop &recording");
    h.Poll();
    h.Poll();
    EXPECT_NE(ReadFile(path).find(",COM1,/dev/ttyUSB0,ZK4-J1708-003,305419896,0.5N,12.6,800,45,4,"
                                  "1.7881\r\n"),
              std::string::npos);
    h.dlg->WindowMenu()->actions()[2]->trigger();
    h.Poll();
    EXPECT_EQ(std::pair(Rows(path), h.MenuText(2)),
              std::pair(std::size_t{3}, QString("&Record values...")));

    h.Record(path);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{static_cast<rlim_t>(ReadFile(path).size()), limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    h.Poll();
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, previous);
    h.Poll();
    QApplication::processEvents();  // the message is posted
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].text, "Cannot write the values to " + path +
                                      ": File too large.\nThe recording has stopped.");
    EXPECT_EQ(std::pair(Rows(path), h.MenuText(2)),
              std::pair(std::size_t{3}, QString("&Record values...")));
}

// Points per run in each plot, " " after each run and "|" between plots.
std::string Runs(ChartWindow* chart) {
    std::string runs;
    for (const QChartView* view : chart->findChildren<QChartView*>()) {
        runs += runs.empty() ? "" : "|";
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
    h.Poll();
    h.Poll();
    h.Press(Qt::CTRL | Qt::Key_T);
    ASSERT_NE(h.Chart(), nullptr);
    h.Chart()->close();
    h.Poll();
    h.dlg->OnDisconnect();
    h.Tick();
    h.Identify();
    h.Poll();
    h.Poll();
    EXPECT_EQ(Runs(h.Chart()), "2 |2 |2 ");  // not drawn while closed
    h.Press(Qt::CTRL | Qt::Key_T);
    EXPECT_EQ(Runs(h.Chart()), "3 2 |3 2 |3 2 ");
}

// After `before` polls at 45 MPH the assistant opens; `during` more polls come, the measured
// mile is chosen (Alt+M) or not, `digits` typed, Enter. What it said, then the Hz box, and what
// was sent after the last poll.
TEST(Workshop, CalibrationPutsTheNewSettingIntoTheHzBoxAndSendsNothing) {
    const std::tuple<int, int, bool, const char*, std::string, std::string> rows[] = {
        {10, 0, false, "50", "<b>1.6093</b>", "1.6093"},
        {9, 1, true, "72", "<b>1.6093</b>", "1.6093"},  // the tenth poll while it is open
        {9, 0, false, "50", "9 s of values so far: the average needs 10 s at a steady speed.",
         "1.7881"},
    };
    for (const auto& [before, during, mile, digits, said, hzBox] : rows) {
        Shown h;
        for (int i = 0; i < before; ++i) {
            h.Poll();
        }
        std::string seen;
        h.Press(Qt::CTRL | Qt::Key_L, [&](QWidget* modal) {
            for (int i = 0; i < during; ++i) {
                h.Poll();
            }
            if (mile) {  // a mnemonic clicks its button a moment later; then on to its box
                QTest::keyClick(modal->focusWidget(), Qt::Key_M, Qt::AltModifier);
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return qobject_cast<QLineEdit*>(modal->focusWidget()) != nullptr; },
                    1000));
            }
            QTest::keyClicks(modal->focusWidget(), digits);
            seen = modal->findChild<QLabel*>("result")->text().toStdString();
            h.serial.ClearWritten();
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(std::tuple(seen, h.Text(IDC_HZ_PER_MPH).toStdString(), h.serial.WrittenText()),
                  std::tuple(said, hzBox, std::string()))
            << before << digits;
    }
}

}  // namespace
}  // namespace zk4::test
