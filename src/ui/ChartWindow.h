// The chart of the running values: supply voltage, engine speed and vehicle speed over the last
// five minutes, three plots stacked over one time axis. A window of its own beside the dialog,
// not modal; it draws the workshop's history, which is kept while the window is closed, and
// leaves a gap where the link was down.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "workshop/ValueHistory.h"

class QChart;
class QLineSeries;
class QValueAxis;
class QCategoryAxis;

namespace zk4 {

inline constexpr double kChartSpanS = 5 * 60;

class ChartWindow : public QWidget {
    Q_OBJECT
  public:
    ChartWindow(const ValueHistory& history, QWidget* parent);

    // Draws the history again if the window can be seen. The workshop calls it after each poll;
    // while no poll comes the window itself does it once a second, so that the time goes on.
    void Redraw();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Plot {
        std::optional<std::string> DeviceValues::*member;
        QChart* chart;
        QValueAxis* values;
        QCategoryAxis* time;
        std::vector<QLineSeries*> runs;  // one series per run; spare ones are kept empty
        double floor;                    // the value axis starts here, or lower
        double minSpan;                  // and is at least this tall
        qreal besideLeft, besideRight;   // what the chart needs beside its plot area
    };

    void AddPlot(std::optional<std::string> DeviceValues::*member, double floor, double minSpan,
                 bool timeLabels);
    void DrawPlot(Plot& plot, std::int64_t nowMs);
    void AlignPlots(std::size_t changed);
    QLineSeries* Run(Plot& plot, std::size_t index);

    const ValueHistory& m_history;
    std::vector<Plot> m_plots;
    QTimer m_clock;  // while the window is shown
    QElapsedTimer m_sinceRedraw;
};

}  // namespace zk4
