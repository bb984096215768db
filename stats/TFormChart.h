#pragma once

#include "ui_TFormChart.h"

#include "stats/PointLabelAxis.h"

#include <QDateTime>
#include <QWidget>

#include <memory>

class QLineSeries;
class QValueAxis;

// The request chart window: requests per interval as a line chart, and the
// options that drive the main window's chart timer.
class TFormChart : public QWidget, public Ui::TFormChart {
    Q_OBJECT

public:
    explicit TFormChart(QWidget *parent = nullptr);
    ~TFormChart() override;

    // Appends the point of one interval: the count at the next x position,
    // labelled with the time of the tick ("hh:mm").
    void AddChartPoint(int count, const QDateTime &now);

    // Adds 1 to RequestCount when the chart is enabled; the server calls it
    // for every request it receives, before answering.
    void CountRequest();

    // Every point's label, in order.
    const QStringList &PointLabels() const { return labels_->labels(); }

    // The labels the horizontal axis shows, by x position.
    QList<std::pair<int, QString>> ShownLabels() const { return labels_->shownLabels(); }

    void SpinEditChartUpdateChange();
    void CheckBoxChartEnableClick();
    void Button1Click();
    void Button2Click();

    QLineSeries *Series1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void setUpChart();
    void setUpAxes();
    void connectHandlers();
    void fitValueAxis();
    void layOutChart();

    QValueAxis *valueAxis_ = nullptr;
    std::unique_ptr<PointLabelAxis> labels_;
};
