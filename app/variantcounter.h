#pragma once

// The live count at the right end of the status line. The template is
// counted on a thread of its own, so that typing never waits for it. Keys
// typed in quick succession belong to one word, which is counted once typing
// pauses; a short template changed after a longer while is counted at once.
// A long one is always counted once typing pauses: its count takes the
// processor for a good part of a second, which the editor needs for the
// next keys. One count runs at a time; a change made meanwhile makes it out
// of date, and it stops at its next step instead of finishing, so only the
// newest count reaches the label.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include "lengthrules.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/lengthbounds.h"

class VariantCounter : public QObject
{
    Q_OBJECT

public:
    struct Input
    {
        QString text;
        // The length fields, in characters counted by the rule.
        razmnozhator::LengthRange lengths;
        razmnozhator::lengthrules::FieldRule rule;

        // Whether the lines' lengths are the same for both, whatever the fields.
        bool sameLengthsAs(const Input &other) const { return text == other.text && rule == other.rule; }
    };

    // source is asked for the template and the fields when a count starts;
    // longTemplate says whether the template is long enough to wait for a
    // pause in typing before every count.
    explicit VariantCounter(
        std::function<Input()> source, std::function<bool()> longTemplate = {}, QObject *parent = nullptr);
    ~VariantCounter() override;

    // The template or a length field changed: count again.
    void schedule();
    bool isCounting() const noexcept { return counting; }

    // What a count learned besides its text, for whoever shows more of the
    // same template: the template compiled (none when it is empty or faulty),
    // with the length rule, and how many variants the length fields keep,
    // unless that was refused.
    struct Figures
    {
        Input input;
        std::optional<razmnozhator::CompiledTemplate> compiled;
        // The template is not whole: an unclosed group or a character it may
        // not hold. What was shown of the last whole one may stay.
        bool faulty = false;
        std::optional<mpz_class> kept;
    };

    // The label's text for one template: the exact count with digit groups,
    // and how many variants the length fields keep where that differs; the
    // error that generate would report, after its line and column; nothing
    // for an empty template.
    // Between its steps it asks stale, if given, and gives up with nothing
    // once the count is out of date.
    static QString describe(const Input &input, Figures *figures = nullptr, const std::function<bool()> &stale = {});

signals:
    void counted(const QString &text);
    // Right after counted(), for the same count.
    void countedFigures(const std::shared_ptr<const VariantCounter::Figures> &figures);

private:
    void start();
    void finished(std::uint64_t ticket, const QString &text, const std::shared_ptr<const Figures> &figures);

    void paused();

    std::function<Input()> source;
    std::function<bool()> longTemplate;
    QThreadPool pool;
    QTimer pause;
    QElapsedTimer sinceChange;
    // Changes so far; a count carries the number it started at.
    // Read by the running count too, to stop once it is out of date.
    std::atomic<std::uint64_t> latest = 0;
    std::uint64_t started = 0;
    bool counting = false;
};
