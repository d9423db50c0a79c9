#include "elidedlabel.h"

#include <QPainter>
#include <QResizeEvent>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    // Shown in full where there is room; below that as narrow as «…».
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString &text)
{
    setText(text);
    updateToolTip();
}

bool ElidedLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return { fontMetrics().horizontalAdvance(QStringLiteral("…")) + margins.left() + margins.right(),
        QLabel::minimumSizeHint().height() };
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(
        &painter, area, int(alignment()) | Qt::TextSingleLine, palette(), isEnabled(), shown, foregroundRole());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::updateToolTip()
{
    setToolTip(isElided() ? text() : QString());
}
