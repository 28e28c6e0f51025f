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
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "support/DialogHarness.h"
#include "ui/ChartWindow.h"
#include "ui/SpeedCalibrationDlg.h"

namespace zk4::test {
namespace {

struct Shown : DialogHarness {
    Shown() {
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        Identify();  // a J1708-003: both settings
    }
    // The device answers a poll at `mph`.
    void Poll(int mph = 45) {
        serial.Receive("AT DV=12.6\r\nAT RPM=800\r\nAT MPH=" + std::to_string(mph) +
                       "\r\nAT CN=4\r\nAT HZVSMPH=1.7881\r\n");
        Tick();
    }
    // The dialog active (again, after the chart window was) with the focus in `id`.
    void Focus(int id) {
        QApplication::setActiveWindow(dlg.get());
        Item(id)->setFocus();
    }
    QAction* Command(const QString& text) const {
        for (QAction* action : dlg->WindowMenu()->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }
    // Presses `key` in the focused control and, once a modal window is up, runs `then` with it
    // (and closes it if `then` left it open).
    void PressThen(QKeyCombination key, const std::function<void(QWidget*)>& then = {}) {
        QTimer::singleShot(0, [then] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && then) {
                then(modal);
            }
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                box->reject();
            }
        });
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        QApplication::processEvents();  // a window that is not modal: the timer has nothing to do
    }
    // Records into `path` through the file dialog, offered under `offered`.
    void StartRecording(const std::string& path, QString* offered = nullptr) {
        PressThen(Qt::CTRL | Qt::Key_R, [&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(files, nullptr);
            if (offered) {
                *offered = QFileInfo(files->selectedFiles().value(0)).fileName();
            }
            files->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(files)->accept();  // as the Record button does
        });
    }
    ChartWindow* Chart() const { return dlg->findChild<ChartWindow*>(); }
};

std::size_t Rows(const std::string& path) {
    const std::string text = ReadFile(path);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The menu ends with the About item as always; each command's shortcut works with the focus in
// any of the dialog's entries (none of them takes the key for itself).
TEST(Workshop, CommandsSitInTheWindowMenuAndTheirShortcutsWorkFromEveryEntry) {
    Shown h;
    QStringList menu;
    for (const QAction* action : h.dlg->WindowMenu()->actions()) {
        menu << (action->isSeparator() ? "-" : action->text()) +
                    (action->shortcut().isEmpty() ? "" : " " + action->shortcut().toString());
    }
    EXPECT_EQ(menu.join('|').toStdString(),
              "&Close Alt+F4|-|&Record values... Ctrl+R|C&hart... Ctrl+T|Calibrate &speed... "
              "Ctrl+L|-|&About ZK4 Toolset...");
    const std::tuple<QKeyCombination, const char*> commands[] = {
        {Qt::CTRL | Qt::Key_R, "QFileDialog"},
        {Qt::CTRL | Qt::Key_L, "zk4::SpeedCalibrationDlg"},
        {Qt::CTRL | Qt::Key_T, "zk4::ChartWindow"},
    };
    for (const int entry : {IDC_HZ_PER_MPH, IDC_CYLINDERS, IDC_PORT}) {
        for (const auto& [key, opens] : commands) {
            h.Focus(entry);
            QString opened = "nothing";
            h.PressThen(key, [&](QWidget* modal) { opened = modal->metaObject()->className(); });
            if (h.Chart() && h.Chart()->isVisible()) {
                opened = h.Chart()->metaObject()->className();
                h.Chart()->close();
            }
            EXPECT_EQ(opened.toStdString(), opens) << entry;
        }
    }
}

// One row a poll, in the command line's format, while linked; nothing while the link is down;
// Stop recording ends it.
TEST(Workshop, RecordingWritesARowAPollUntilStopped) {
    Shown h;
    const std::string path = h.dir / "values.csv";
    QString offered;
    h.StartRecording(path, &offered);
    EXPECT_EQ(
        offered,
        QString("ZK4-J1708-003_305419896_%1.csv").arg(QDate::currentDate().toString(Qt::ISODate)));
    ASSERT_NE(h.Command("Stop &recording"), nullptr);
    h.Poll();
    h.Poll();
    h.dlg->OnDisconnect();
    h.Tick();
    h.Identify();
    h.Poll();
    EXPECT_EQ(Rows(path), 4u);
    EXPECT_NE(ReadFile(path).find(",COM1,/dev/ttyUSB0,ZK4-J1708-003,305419896,0.5N,12.6,800,45,4,"
                                  "1.7881\r\n"),
              std::string::npos)
        << ReadFile(path);
    h.Command("Stop &recording")->trigger();
    h.Poll();
    EXPECT_EQ(std::pair(Rows(path), h.Command("&Record values...") != nullptr),
              std::pair(std::size_t{4}, true));
    EXPECT_TRUE(h.messages.empty());
}

// A file that stops taking rows (here: it reached the process's file size limit) is told once,
// and the recording stops.
TEST(Workshop, AFileThatCannotBeWrittenIsToldOnceAndTheRecordingStops) {
    Shown h;
    const std::string path = h.dir / "values.csv";
    h.StartRecording(path);
    h.Poll();
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{static_cast<rlim_t>(ReadFile(path).size()), limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    h.Poll();
    h.Poll();
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, previous);
    h.Poll();
    QApplication::processEvents();  // the message is posted
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_TRUE(h.messages[0].text.starts_with("Cannot write the values to " + path + ": "))
        << h.messages[0].text;
    EXPECT_TRUE(h.messages[0].text.ends_with("\nThe recording has stopped.")) << h.messages[0].text;
    EXPECT_EQ(std::pair(Rows(path), h.Command("&Record values...") != nullptr),
              std::pair(std::size_t{2}, true));
}

// Points per run in each plot, " " between runs and "|" between plots.
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
    h.Focus(IDC_HZ_PER_MPH);
    h.PressThen(Qt::CTRL | Qt::Key_T);
    ASSERT_TRUE(h.Chart() && h.Chart()->isVisible());
    EXPECT_EQ(Runs(h.Chart()), "2 |2 |2 ");
    h.Chart()->close();
    h.Poll();
    h.dlg->OnDisconnect();
    h.Tick();
    h.Identify();
    h.Poll();
    h.Poll();
    EXPECT_EQ(Runs(h.Chart()), "2 |2 |2 ");  // not drawn while closed
    h.Command("C&hart...")->trigger();
    EXPECT_EQ(Runs(h.Chart()), "3 2 |3 2 |3 2 ");
}

// Opens the assistant after `before` polls at 45 MPH; once it is up, `during` more polls come,
// the measured mile is chosen (Alt+M) or not, `digits` are typed and Enter pressed. What the
// assistant said, then the Hz box, and what was sent after the last poll.
std::tuple<std::string, std::string, std::string> Calibrate(int before, int during, bool mile,
                                                            const QString& digits) {
    Shown h;
    for (int i = 0; i < before; ++i) {
        h.Poll();
    }
    std::string said;
    h.PressThen(Qt::CTRL | Qt::Key_L, [&](QWidget* modal) {
        for (int i = 0; i < during; ++i) {
            h.Poll();
        }
        QApplication::setActiveWindow(modal);
        if (mile) {
            QTest::keyClick(modal->focusWidget(), Qt::Key_M, Qt::AltModifier);
            // A mnemonic clicks its button a moment later, like a mouse; then on to its box.
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return qobject_cast<QLineEdit*>(modal->focusWidget()) != nullptr; }, 1000));
        }
        QTest::keyClicks(modal->focusWidget(), digits);
        said = modal->findChild<QLabel*>("result")->text().toStdString();
        h.serial.ClearWritten();
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
    });
    return {said, h.Text(IDC_HZ_PER_MPH).toStdString(), h.serial.WrittenText()};
}

TEST(Workshop, CalibrationPutsTheNewSettingIntoTheHzBoxAndSendsNothing) {
    const std::tuple<const char*, int, int, bool, const char*, std::string, std::string> rows[] = {
        {"GpsSpeed", 10, 0, false, "50", "<b>1.6093</b>", "1.6093"},
        {"MeasuredMile", 10, 0, true, "72", "<b>1.6093</b>", "1.6093"},
        {"TenthPollWhileOpen", 9, 1, false, "50", "<b>1.6093</b>", "1.6093"},
        {"NineSeconds", 9, 0, false, "50",
         "9 s of values so far: the average needs 10 s at a steady speed.", "1.7881"},
    };
    for (const auto& [name, before, during, mile, digits, said, hzBox] : rows) {
        EXPECT_EQ(Calibrate(before, during, mile, digits), std::tuple(said, hzBox, std::string()))
            << name;
    }
}

}  // namespace
}  // namespace zk4::test
