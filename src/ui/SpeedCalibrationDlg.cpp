#include "ui/SpeedCalibrationDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "text/QtText.h"
#include "ui/DataExchangeRules.h"

namespace zk4 {

SpeedCalibrationDlg::SpeedCalibrationDlg(CalibrationSource source, QWidget* parent)
    : QDialog(parent), m_source(std::move(source)) {
    setWindowTitle(tr("Calibrate Speed"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Drive at a steady speed of at least 5 MPH. The speed the device "
                                "reports is averaged over the last 10 seconds; enter the true "
                                "speed over the same time."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* reading = new QFormLayout;
    m_reported = new QLabel(this);
    m_steadiness = new QLabel(this);
    m_setting = new QLabel(this);
    reading->addRow(tr("Reported speed, last 10 s:"), m_reported);
    reading->addRow(tr("Steadiness:"), m_steadiness);
    reading->addRow(tr("Hz per MPH in the device:"), m_setting);
    layout->addLayout(reading);

    auto* truth = new QGroupBox(tr("True speed"), this);
    auto* grid = new QGridLayout(truth);
    m_byGps = new QRadioButton(tr("From a &GPS, in MPH:"), truth);
    m_gpsMph = new QLineEdit(truth);
    m_byMile = new QRadioButton(tr("Over a measured &mile, its time in seconds:"), truth);
    m_mileSeconds = new QLineEdit(truth);
    m_mileMph = new QLabel(truth);
    m_byGps->setChecked(true);
    grid->addWidget(m_byGps, 0, 0);
    grid->addWidget(m_gpsMph, 0, 1);
    grid->addWidget(m_byMile, 1, 0);
    grid->addWidget(m_mileSeconds, 1, 1);
    grid->addWidget(m_mileMph, 1, 2);
    grid->setColumnMinimumWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("= 000.0 MPH")));
    layout->addWidget(truth);

    m_result = new QLabel(this);
    m_result->setWordWrap(true);
    m_result->setTextFormat(Qt::RichText);
    m_result->setObjectName(QStringLiteral("result"));
    m_result->setMinimumHeight(2 * fontMetrics().height() + 4);
    auto* result = new QFormLayout;
    result->addRow(tr("New Hz per MPH:"), m_result);
    layout->addLayout(result);
    auto* next = new QLabel(tr("OK puts the new setting into the Hz-per-MPH box; Proceed to "
                               "Change sends it to the device."),
                            this);
    next->setWordWrap(true);
    layout->addWidget(next);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Typing into one of the two boxes chooses it.
    connect(m_gpsMph, &QLineEdit::textEdited, this, [this] {
        m_byGps->setChecked(true);
        Refresh();
    });
    connect(m_mileSeconds, &QLineEdit::textEdited, this, [this] {
        m_byMile->setChecked(true);
        Refresh();
    });
    // Choosing a way (Alt+G, Alt+M) goes on to its box.
    connect(m_byGps, &QRadioButton::toggled, this, [this](bool gps) {
        (gps ? m_gpsMph : m_mileSeconds)->setFocus();
        Refresh();
    });
    setMinimumWidth(480);
    m_gpsMph->setFocus();
    Refresh();
}

std::optional<double> SpeedCalibrationDlg::TrueMph() const {
    if (m_byGps->isChecked()) {
        return ParseDialogNumber(m_gpsMph->text().toStdString());
    }
    const auto seconds = ParseDialogNumber(m_mileSeconds->text().toStdString());
    return seconds ? MphFromMileSeconds(*seconds) : std::nullopt;
}

void SpeedCalibrationDlg::Refresh() {
    const CalibrationReading reading = m_source();
    const std::optional<double> trueMph = TrueMph();
    m_calibration =
        CalibrateHzPerMph({reading.samples, reading.linked, reading.hzSetting, trueMph});
    const SpeedWindow& w = m_calibration.window;
    const QString none = QStringLiteral("\u2014");
    if (w.samples == 0) {
        m_reported->setText(none);
        m_steadiness->setText(none);
        m_setting->setText(none);
    } else {
        m_reported->setText(tr("%1 MPH over %2 s")
                                .arg(Utf8(FixedText(w.meanMph, 1)))
                                .arg(static_cast<int>(w.samples)));
        m_steadiness->setText(tr("%1 to %2 MPH, a spread of %3 % (at most 5 %)")
                                  .arg(Utf8(FixedText(w.minMph, 1)), Utf8(FixedText(w.maxMph, 1)),
                                       Utf8(FixedText(100 * w.spread, 1))));
        m_setting->setText(Utf8(FormatDialogNumber(w.hzPerMph)));
    }
    const auto mileMph =
        MphFromMileSeconds(ParseDialogNumber(m_mileSeconds->text().toStdString()).value_or(0));
    m_mileMph->setText(mileMph ? tr("= %1 MPH").arg(Utf8(FixedText(*mileMph, 1))) : QString());
    if (m_calibration.hzPerMph) {
        m_result->setText(
            QStringLiteral("<b>%1</b>").arg(Utf8(FormatDialogNumber(*m_calibration.hzPerMph))));
    } else {
        m_result->setText(Tr(*m_calibration.refusal).toHtmlEscaped());
    }
    m_ok->setEnabled(m_calibration.hzPerMph.has_value());
}

}  // namespace zk4
