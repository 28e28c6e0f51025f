#include "ui/ChartWindow.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QKeySequence>
#include <QLabel>
#include <QLineSeries>
#include <QShortcut>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "text/QtText.h"

namespace zk4 {
namespace {

constexpr int kMargin = 4;

struct NiceRange {
    double low, high;
    int ticks;
};

// `low` to `high` widened to whole steps of 1, 2 or 5 times a power of ten, about five of them.
NiceRange Nice(double low, double high) {
    const double raw = std::max(high - low, 1e-9) / 5;
    const double power = std::pow(10, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    }
    const double from = std::floor(low / step + 1e-9) * step;
    const double to = std::ceil(high / step - 1e-9) * step;
    return {from, to, static_cast<int>(std::lround((to - from) / step)) + 1};
}

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

    // Time as minutes before now: the axis never changes, so a poll redraws only the lines
    // (a clock on the axis would lay out and paint every label of the three plots each second).
    auto* time = new QCategoryAxis;
    time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    time->setStartValue(-kChartSpanS - 0.001);  // a label at the start value too
    for (int minutes = 5; minutes >= 1; --minutes) {
        time->append(tr("%1 min").arg(-minutes), -60.0 * minutes);
    }
    time->append(tr("now"), 0);
    time->setRange(-kChartSpanS, 0);
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
    // Time in seconds before now (before the newest sample, if the clock went back since).
    const std::int64_t end =
        std::max(nowMs, m_history.Samples().empty() ? nowMs : m_history.Samples().back().timeMs);
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
        runs.back().append(QPointF(static_cast<qreal>(sample.timeMs - end) / 1000, *value));
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

    if (runs.empty()) {
        low = high = std::isnan(plot.floor) ? 12 : plot.floor;
    }
    if (!std::isnan(plot.floor)) {
        low = std::min(low, plot.floor);
    }
    const double grow = std::max(0.0, plot.minSpan - (high - low)) / 2;
    low -= std::isnan(plot.floor) ? grow : 0;
    high += std::isnan(plot.floor) ? grow : 2 * grow;
    // Set only when it changes: a new range lays out and paints the whole chart again.
    const NiceRange range = Nice(low, high);
    if (plot.values->min() != range.low || plot.values->max() != range.high) {
        plot.values->setRange(range.low, range.high);
    }
    if (plot.values->tickCount() != range.ticks) {
        plot.values->setTickCount(range.ticks);
    }
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
