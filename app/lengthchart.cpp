#include "lengthchart.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "memoryguard.h"
#include "nofit.h"

using namespace razmnozhator;

namespace {

// The height of the columns at their tallest, in lines of text: enough to
// tell a tenth from a half, little enough to leave the list its room.
constexpr double plotLines = 4;
// Columns at least this wide keep a pixel of space between them.
constexpr int gapFrom = 4;

} // namespace

LengthChart::LengthChart(QWidget *parent)
    : QWidget(parent)
{
    setAccessibleName(tr("Длины строк"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The numbers at both ends keep clear of the window's edges.
    setContentsMargins(4, 0, 4, 0);
}

void LengthChart::changeModel(const std::function<void(LengthChartModel &)> &change)
{
    change(model_);
    refresh();
}

void LengthChart::setBounds(LengthRange bounds)
{
    if (model_.bounds() == bounds)
        return;
    model_.setBounds(bounds);
    update();
}

QSize LengthChart::sizeHint() const
{
    return minimumSizeHint().expandedTo(QSize(400, 0));
}

QSize LengthChart::minimumSizeHint() const
{
    const int line = fontMetrics().height();
    const QMargins margins = contentsMargins();
    return { 100, 2 * line + int(std::lround(plotLines * line)) + margins.top() + margins.bottom() };
}

QRect LengthChart::plotRect() const
{
    const QRect area = contentsRect();
    const int line = fontMetrics().height();
    return area.adjusted(0, line, 0, -line);
}

void LengthChart::refresh()
{
    columns_ = model_.columns(plotRect().width());
    pointed_.clear();
    pointedColumn_ = -1;
    const QString description = model_.description();
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
    update();
}

void LengthChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    refresh();
}

int LengthChart::xOf(std::uint64_t length) const
{
    const QRect plot = plotRect();
    if (length > model_.longest())
        return plot.left() + plot.width();
    return plot.left() + int(std::lround(model_.position(length) * plot.width()));
}

std::uint64_t LengthChart::lengthAt(int x) const
{
    const QRect plot = plotRect();
    return model_.lengthAt((double(x - plot.left()) + 0.5) / double(std::max(1, plot.width())));
}

const LengthChartModel::Column *LengthChart::columnAt(int x) const
{
    if (columns_.empty() || x < plotRect().left() || x > plotRect().right())
        return nullptr;
    const std::uint64_t length = lengthAt(x);
    const auto found = std::partition_point(columns_.begin(), columns_.end(),
        [length](const LengthChartModel::Column &column) { return column.last < length; });
    return found == columns_.end() ? nullptr : &*found;
}

void LengthChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &colours = palette();
    painter.fillRect(rect(), colours.window());
    const QRect area = contentsRect();
    if (!model_.hasSpectrum()) {
        painter.setPen(colours.color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
            fontMetrics().elidedText(model_.refusal(), Qt::ElideRight, area.width()));
        return;
    }

    const QRect plot = plotRect();
    painter.fillRect(plot, colours.base());
    const LengthRange bounds = model_.bounds();
    const QColor edge = colours.color(QPalette::Highlight);
    if (bounds.min <= bounds.max && bounds.max >= model_.shortest() && bounds.min <= model_.longest()) {
        const int left = xOf(std::max(bounds.min, model_.shortest()));
        const int right = xOf(std::min(bounds.max, model_.longest()) + 1);
        QColor shade = edge;
        shade.setAlpha(48);
        painter.fillRect(QRect(left, plot.top(), std::max(1, right - left), plot.height()), shade);
        painter.setPen(edge);
        if (bounds.min > model_.shortest())
            painter.drawLine(left, plot.top(), left, plot.bottom());
        if (bounds.max < model_.longest())
            painter.drawLine(right - 1, plot.top(), right - 1, plot.bottom());
    } else if (bounds.min <= bounds.max) {
        // The bounds keep none of these lengths: say on which side they lie.
        painter.setPen(edge);
        const bool left = bounds.max < model_.shortest();
        const QString where
            = left ? tr("← %1–%2").arg(bounds.min).arg(bounds.max) : tr("%1–%2 →").arg(bounds.min).arg(bounds.max);
        painter.drawText(plot.adjusted(2, 0, -2, 0), (left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop, where);
    }

    const QColor inside = colours.color(QPalette::Highlight);
    QColor outside = colours.color(QPalette::Disabled, QPalette::WindowText);
    outside.setAlpha(110);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const LengthChartModel::Column &column = columns_[i];
        if (column.count == 0)
            continue;
        const QRect slot = slotOf(column);
        const int width = std::min(barWidth(), slot.width() >= gapFrom ? slot.width() - 1 : slot.width());
        const int left = slot.center().x() + 1 - (width + 1) / 2;
        const int height = std::max(1, int(std::lround(column.height * plot.height())));
        const bool kept = column.last >= bounds.min && column.first <= bounds.max;
        QColor colour = kept ? inside : outside;
        if (int(i) == pointedColumn_)
            colour = colour.darker(140);
        painter.fillRect(QRect(left, plot.bottom() + 1 - height, width, height), colour);
    }
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

    // Above: the pointed column's figure, or the tallest one's; the scale.
    painter.setPen(colours.color(QPalette::WindowText));
    const QRect top(area.left(), area.top(), area.width(), plot.top() - area.top());
    QString scale;
    if (model_.logScale())
        scale = tr("логарифмическая шкала");
    const int scaleWidth
        = scale.isEmpty() ? 0 : fontMetrics().horizontalAdvance(scale) + fontMetrics().averageCharWidth();
    QString figure = pointed_;
    if (figure.isEmpty()) {
        const auto tallest = std::max_element(columns_.begin(), columns_.end(),
            [](const LengthChartModel::Column &a, const LengthChartModel::Column &b) { return a.count < b.count; });
        if (tallest != columns_.end())
            figure = tr("чаще всего — %1").arg(LengthChartModel::pointText(*tallest));
    }
    painter.drawText(top.adjusted(0, 0, -scaleWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(figure, Qt::ElideRight, top.width() - scaleWidth));
    if (!scale.isEmpty())
        painter.drawText(top, Qt::AlignRight | Qt::AlignVCenter, scale);

    // Below: the shortest and the longest length, under their columns.
    const QRect bottom(area.left(), plot.bottom() + 1, area.width(), area.bottom() - plot.bottom());
    if (model_.longest() == model_.shortest()) {
        painter.drawText(
            bottom, Qt::AlignHCenter | Qt::AlignVCenter, nofit::lengthsText({ model_.shortest(), model_.longest() }));
        return;
    }
    const auto label = [&](const LengthChartModel::Column &column, std::uint64_t length) {
        const QString text = memoryguard::formatCount(length);
        const int width = fontMetrics().horizontalAdvance(text);
        const int left = std::clamp(slotOf(column).center().x() - width / 2, bottom.left(), bottom.right() - width);
        painter.drawText(QRect(left, bottom.top(), width, bottom.height()), Qt::AlignCenter, text);
    };
    label(columns_.front(), model_.shortest());
    label(columns_.back(), model_.longest());
    painter.drawText(bottom, Qt::AlignHCenter | Qt::AlignVCenter,
        ruleWording_.isEmpty() ? tr("длина строки, символов") : tr("длина строки %1, символов").arg(ruleWording_));
}

void LengthChart::setRuleWording(const QString &wording)
{
    ruleWording_ = wording;
    update();
}

QRect LengthChart::slotOf(const LengthChartModel::Column &column) const
{
    const QRect plot = plotRect();
    const int left = xOf(column.first);
    return { left, plot.top(), std::max(1, xOf(column.last + 1) - left), plot.height() };
}

int LengthChart::barWidth() const
{
    // A template of few lengths gets bars, not blocks as wide as the window.
    return 2 * fontMetrics().height();
}

bool LengthChart::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (const LengthChartModel::Column *column = columnAt(help->pos().x())) {
            QToolTip::showText(help->globalPos(), LengthChartModel::pointText(*column), this, slotOf(*column));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void LengthChart::point(const QPoint &at)
{
    const LengthChartModel::Column *column = plotRect().contains(at) ? columnAt(at.x()) : nullptr;
    const int index = column ? int(column - columns_.data()) : -1;
    if (index == pointedColumn_)
        return;
    pointedColumn_ = index;
    pointed_ = column ? LengthChartModel::pointText(*column) : QString();
    update();
}

void LengthChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !model_.hasSpectrum())
        return QWidget::mousePressEvent(event);
    dragStart_ = event->position().toPoint();
    dragging_ = false;
}

void LengthChart::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    point(at);
    if (!dragStart_ || !(event->buttons() & Qt::LeftButton))
        return;
    if (!dragging_ && (at - *dragStart_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragging_ = true;
    const LengthRange bounds = LengthChartModel::dragBounds(lengthAt(dragStart_->x()), lengthAt(at.x()));
    if (bounds != model_.bounds())
        emit boundsDragged(bounds);
}

void LengthChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragStart_.reset();
    QWidget::mouseReleaseEvent(event);
}

void LengthChart::leaveEvent(QEvent *event)
{
    point({ -1, -1 });
    QWidget::leaveEvent(event);
}
