#pragma once

// The chart of line lengths between the restriction group and the list: how
// many lines of each length the template gives, with the range between the
// length fields shaded. Pointing at a column shows its figure; dragging
// across the chart sets the length fields. A widget of our own, painted with
// QPainter; the figures come from LengthChartModel.

#include <functional>
#include <optional>

#include <QWidget>

#include "lengthchartmodel.h"

class LengthChart : public QWidget
{
    Q_OBJECT

public:
    explicit LengthChart(QWidget *parent = nullptr);

    const LengthChartModel &model() const { return model_; }
    // Shows what the model holds now, after the caller changed it.
    void changeModel(const std::function<void(LengthChartModel &)> &change);
    void setBounds(razmnozhator::LengthRange bounds);
    // How the lengths are counted, for the axis: "по правилам Директа", or
    // nothing when every character counts.
    void setRuleWording(const QString &wording);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Where the columns are drawn.
    QRect plotRect() const;
    // The text at the top while a column is pointed at, else an empty string.
    const QString &pointed() const { return pointed_; }

signals:
    // Мин. and Макс. chosen by a drag across the chart.
    void boundsDragged(razmnozhator::LengthRange bounds);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void refresh();
    void point(const QPoint &at);
    std::uint64_t lengthAt(int x) const;
    // The column under x, if any.
    const LengthChartModel::Column *columnAt(int x) const;
    int xOf(std::uint64_t length) const;
    // The part of the plot a column's lengths take.
    QRect slotOf(const LengthChartModel::Column &column) const;
    int barWidth() const;

    LengthChartModel model_;
    // The columns for the current width.
    std::vector<LengthChartModel::Column> columns_;
    QString pointed_;
    QString ruleWording_;
    int pointedColumn_ = -1;
    std::optional<QPoint> dragStart_;
    bool dragging_ = false;
};
