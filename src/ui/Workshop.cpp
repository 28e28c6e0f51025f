#include "ui/Workshop.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QMenu>
#include <QScreen>
#include <QStandardPaths>

#include "serial/PortNames.h"
#include "text/QtText.h"
#include "ui/ChartWindow.h"
#include "ui/SpeedCalibrationDlg.h"

namespace zk4 {
namespace {

// The dialog's mnemonics are Alt+letter, and its edit boxes keep their own Ctrl keys (select all,
// copy, cut, paste, undo, redo): these are free in all of them.
constexpr QKeyCombination kRecordKey = Qt::CTRL | Qt::Key_R;
constexpr QKeyCombination kChartKey = Qt::CTRL | Qt::Key_T;
constexpr QKeyCombination kCalibrateKey = Qt::CTRL | Qt::Key_L;

}  // namespace

Workshop::Workshop(Host host) : m_host(std::move(host)) {}

Workshop::~Workshop() = default;

void Workshop::AddCommands(QMenu& menu) {
    const auto add = [&](const QString& text, QKeyCombination key, void (Workshop::*command)()) {
        QAction* action = menu.addAction(text);
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WindowShortcut);
        m_host.window->addAction(action);  // the shortcut works while the menu is closed
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    menu.addSeparator();
    m_recordAction = add(tr("&Record values..."), kRecordKey, &Workshop::OnRecordValues);
    add(tr("C&hart..."), kChartKey, &Workshop::OnChart);
    add(tr("Calibrate &speed..."), kCalibrateKey, &Workshop::OnCalibrateSpeed);
}

void Workshop::PollAnswered(const DeviceValues& values) {
    const QDateTime now = QDateTime::currentDateTime();
    m_history.Add(now.toMSecsSinceEpoch(), values);
    if (m_recorder.IsOpen()) {
        if (const auto error = m_recorder.Append({now, m_port, m_device, values})) {
            // The recorder has closed the file: told once, and the recording is over.
            StopRecording();
            m_host.tell(Tr(*error) + QStringLiteral("\n") + tr("The recording has stopped."));
        }
    }
    if (m_chart) {
        m_chart->Redraw();
    }
    if (m_calibration) {
        m_calibration->Refresh();
    }
}

void Workshop::ShowState(LinkState state, const std::string& port) {
    if (state == LinkState::Linked && m_state != LinkState::Linked) {
        m_port = port;
        const auto number = PortNumberFromName(port);
        m_device = number ? DeviceForPort(*number, m_host.portsFolders) : std::string();
    }
    if (state != LinkState::Linked) {
        m_history.Break();
    }
    const bool changed = state != m_state;
    m_state = state;
    if (changed && m_chart) {
        m_chart->Redraw();
    }
    if (changed && m_calibration) {
        m_calibration->Refresh();
    }
}

void Workshop::OnRecordValues() {
    if (m_recorder.IsOpen()) {
        StopRecording();
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::homePath();
    }
    const QString name = Utf8(DefaultRecordName(*m_host.shown, QDate::currentDate()));
    QFileDialog dialog(m_host.window, tr("Record Values"), QDir(folder).filePath(name),
                       tr("CSV files (*.csv);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setLabelText(QFileDialog::Accept, tr("&Record"));
    // A file that exists is appended to, never replaced: nothing to confirm.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().front();
    if (const auto error = m_recorder.Open(path.toStdString())) {
        m_host.tell(Tr(*error));
        return;
    }
    m_recordAction->setText(tr("Stop &recording"));
}

void Workshop::StopRecording() {
    m_recorder.Close();
    m_recordAction->setText(tr("&Record values..."));
}

void Workshop::OnChart() {
    if (!m_chart) {
        m_chart = new ChartWindow(m_history, m_host.window);
        // Beside the dialog where the screen has room, else over it.
        const QRect dialog = m_host.window->frameGeometry();
        const QRect screen = m_host.window->screen()->availableGeometry();
        QPoint at(dialog.right() + 8, dialog.top());
        if (at.x() + m_chart->width() > screen.right()) {
            at = dialog.topLeft() + QPoint(40, 40);
        }
        m_chart->move(at);
    }
    m_chart->show();
    m_chart->raise();
    m_chart->activateWindow();
}

void Workshop::OnCalibrateSpeed() {
    SpeedCalibrationDlg dialog(
        [this] {
            return CalibrationReading{m_history.SpeedRun(), m_state == LinkState::Linked,
                                      m_hzSetting};
        },
        m_host.window);
    m_calibration = &dialog;
    const int result = dialog.exec();
    m_calibration = nullptr;
    if (result == QDialog::Accepted && dialog.NewHzPerMph()) {
        m_host.putHzPerMph(*dialog.NewHzPerMph());
    }
}

}  // namespace zk4
