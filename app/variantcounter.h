#pragma once

// The live count at the right end of the status line. While the user types,
// the template is counted after a short pause, on a thread of its own, so
// that typing never waits for it; a result that a later edit has made out of
// date is dropped, and only the newest one reaches the label.

#include <atomic>
#include <cstdint>
#include <functional>

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include "razmnozhator/lengthbounds.h"

class VariantCounter : public QObject
{
    Q_OBJECT

public:
    struct Input
    {
        QString text;
        // The length fields, in characters.
        razmnozhator::LengthRange lengths;
    };

    // source is asked for the template and the fields once the pause is over.
    explicit VariantCounter(std::function<Input()> source, QObject *parent = nullptr);
    ~VariantCounter() override;

    // The template or a length field changed: count again after the pause.
    void schedule();

    // The label's text for one template: the exact count with digit groups,
    // and how many variants the length fields keep where that differs; the
    // error that generate would report; nothing for an empty template.
    static QString describe(const Input &input);

signals:
    void counted(const QString &text);

private:
    void start();

    std::function<Input()> source;
    QTimer pause;
    QThreadPool pool;
    std::atomic<std::uint64_t> latest { 0 };
};
