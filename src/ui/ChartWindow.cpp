#include "ui/ChartWindow.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeySequence>
#include <QLabel>
#include <QLineSeries>
#include <QShortcut>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/UiText.h"

namespace zk4 {
namespace {

constexpr int kMargin = 4;

}  // namespace

ChartWindow::ChartWindow(const ValueHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), m_history(history) {
    setWindowTitle(tr("ZK4 Chart"));
    resize(760, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    AddPlot(&DeviceValues::m_strVoltage, std::nan(""), 2, false);
    AddPlot(&DeviceValues::m_strEngineRpm, 0, 1000, false);
    AddPlot(&DeviceValues::m_strVehicleMph, 0, 10, true);
    auto* note = new QLabel(
        tr("The last five minutes, one point a poll. A gap: no values came (the link was down)."),
        this);
    note->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(note);

    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* closeToo = new QShortcut(QKeySequence::Close, this);
    connect(closeToo, &QShortcut::activated, this, &QWidget::close);

    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        if (!m_sinceRedraw.isValid() || m_sinceRedraw.elapsed() >= kHistoryGapMs) {
            Redraw();
        }
    });
}

void ChartWindow::AddPlot(std::optional<std::string> DeviceValues::*member, double floor,
                          double minSpan, bool timeLabels) {
    const auto row = std::find_if(kReportedValues.begin(), kReportedValues.end(),
                                  [member](const ReportedValue& r) { return r.member == member; });
    auto* chart = new QChart;
    chart->setTitle(Tr(row->caption));
    chart->legend()->hide();
    chart->setMargins(QMargins(kMargin, 0, kMargin, 0));
    chart->setBackgroundRoundness(0);

    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("HH:mm:ss"));
    time->setTickCount(6);  // a line a minute
    time->setLabelsVisible(timeLabels);
    chart->addAxis(time, Qt::AlignBottom);
    auto* values = new QValueAxis;
    values->setLabelFormat(row->member == &DeviceValues::m_strVoltage ? QStringLiteral("%.1f")
                                                                      : QStringLiteral("%.0f"));
    chart->addAxis(values, Qt::AlignLeft);

    auto* view = new QChartView(chart, this);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(120);
    layout()->addWidget(view);
    const std::size_t index = m_plots.size();
    connect(chart, &QChart::plotAreaChanged, this, [this, index] { AlignPlots(index); });
    m_plots.push_back({member, chart, values, time, {}, floor, minSpan, 0, 0});
    // An axis shows its labels and grid only if a series was attached before it was first drawn.
    Run(m_plots.back(), 0);
}

QLineSeries* ChartWindow::Run(Plot& plot, std::size_t index) {
    static const QColor kColours[] = {QColor(0xC0, 0x50, 0x00), QColor(0x1F, 0x5F, 0xB0),
                                      QColor(0x20, 0x80, 0x30)};
    while (plot.runs.size() <= index) {
        auto* series = new QLineSeries;
        const auto colour =
            kColours[static_cast<std::size_t>(&plot - m_plots.data()) % std::size(kColours)];
        series->setPen(QPen(colour, 2));
        plot.chart->addSeries(series);
        series->attachAxis(plot.time);
        series->attachAxis(plot.values);
        plot.runs.push_back(series);
    }
    return plot.runs[index];
}

void ChartWindow::Redraw() {
    if (!isVisible() || isMinimized()) {
        return;
    }
    m_sinceRedraw.start();
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (Plot& plot : m_plots) {
        DrawPlot(plot, now);
    }
}

void ChartWindow::DrawPlot(Plot& plot, std::int64_t nowMs) {
    // One series per run of samples: a new run after a gap, and where the value is missing.
    std::vector<QList<QPointF>> runs;
    bool open = false;
    double low = INFINITY, high = -INFINITY;
    for (const HistorySample& sample : m_history.Samples()) {
        const std::optional<double> value = sample.Number(plot.member);
        if (!value || sample.startsRun) {
            open = false;
        }
        if (!value) {
            continue;
        }
        if (!open) {
            runs.emplace_back();
            open = true;
        }
        runs.back().append(QPointF(static_cast<qreal>(sample.timeMs), *value));
        low = std::min(low, *value);
        high = std::max(high, *value);
    }
    for (std::size_t i = 0; i < std::max(runs.size(), plot.runs.size()); ++i) {
        if (i < runs.size()) {
            Run(plot, i)->replace(runs[i]);
        } else if (plot.runs[i]->count() > 0) {
            plot.runs[i]->clear();
        }
    }

    const std::int64_t end =
        std::max(nowMs, m_history.Samples().empty() ? nowMs : m_history.Samples().back().timeMs);
    plot.time->setRange(QDateTime::fromMSecsSinceEpoch(end - kChartSpanMs),
                        QDateTime::fromMSecsSinceEpoch(end));
    if (runs.empty()) {
        low = high = std::isnan(plot.floor) ? 12 : plot.floor;
    }
    if (!std::isnan(plot.floor)) {
        low = std::min(low, plot.floor);
    }
    const double grow = std::max(0.0, plot.minSpan - (high - low)) / 2;
    low -= std::isnan(plot.floor) ? grow : 0;
    high += std::isnan(plot.floor) ? grow : 2 * grow;
    plot.values->setRange(low, high);
    plot.values->applyNiceNumbers();
}

// The value labels of each plot take the room their texts need, and only the bottom plot has
// time labels; each chart's side margins make up the difference, so that the three plot areas
// share their left and right edges and read as one time axis. What a chart needs beside its
// plot area is read when its layout has just placed the plot area, so it matches its margins.
void ChartWindow::AlignPlots(std::size_t changed) {
    Plot& plot = m_plots[changed];
    const QRectF area = plot.chart->plotArea();
    const QMargins margins = plot.chart->margins();
    plot.besideLeft = area.left() - margins.left();
    plot.besideRight = plot.chart->size().width() - area.right() - margins.right();
    qreal left = 0, right = 0;
    for (const Plot& p : m_plots) {
        left = std::max(left, p.besideLeft);
        right = std::max(right, p.besideRight);
    }
    for (Plot& p : m_plots) {
        const QMargins wanted(kMargin + qRound(left - p.besideLeft), 0,
                              kMargin + qRound(right - p.besideRight), 0);
        if (wanted != p.chart->margins()) {
            p.chart->setMargins(wanted);
        }
    }
}

void ChartWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_clock.start();
    Redraw();
}

void ChartWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_clock.stop();
}

}  // namespace zk4
