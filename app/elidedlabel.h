#pragma once

// A one-line text of the status line that gives way: where the line is too
// narrow for it, it is cut with «…» instead of running under its neighbour,
// and the whole text stays in its tooltip and, as the label's text, in its
// accessible name.

#include <QLabel>

class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The label's text, whole; what is drawn depends on the width.
    void setFullText(const QString &text);
    // Whether the text is drawn cut short now.
    bool isElided() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateToolTip();
};
