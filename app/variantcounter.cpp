#include "variantcounter.h"

#include <new>
#include <stdexcept>
#include <string>

#include "cp1251.h"
#include "lengthrules.h"
#include "memoryguard.h"
#include "nofit.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/fields.h"
#include "templatetext.h"

using namespace razmnozhator;

namespace {

// Long enough to skip the keys of one word, short enough to feel immediate.
constexpr int pauseMilliseconds = 100;

} // namespace

VariantCounter::VariantCounter(std::function<Input()> inputSource, std::function<bool()> inputIsLong, QObject *parent)
    : QObject(parent)
    , source(std::move(inputSource))
    , longTemplate(std::move(inputIsLong))
{
    pool.setMaxThreadCount(1);
    pause.setSingleShot(true);
    pause.setInterval(pauseMilliseconds);
    connect(&pause, &QTimer::timeout, this, &VariantCounter::paused);
}

VariantCounter::~VariantCounter()
{
    // A count still running reports to this object, so it must end first.
    pool.waitForDone();
}

void VariantCounter::schedule()
{
    ++latest;
    const bool typing = sinceChange.isValid() && sinceChange.elapsed() < pauseMilliseconds;
    sinceChange.start();
    if (typing || (longTemplate && longTemplate())) {
        pause.start();
        return;
    }
    pause.stop();
    // A running count is out of date now; finished() starts the next one.
    if (!counting)
        start();
}

void VariantCounter::paused()
{
    if (!counting && started != latest)
        start();
}

void VariantCounter::start()
{
    counting = true;
    started = latest;
    const std::uint64_t ticket = latest;
    pool.start([this, ticket, input = source()] {
        auto figures = std::make_shared<Figures>();
        figures->input = input;
        QString text = describe(input, figures.get(), [this, ticket] { return latest.load() != ticket; });
        QMetaObject::invokeMethod(
            this,
            [this, ticket, text = std::move(text), figures = std::shared_ptr<const Figures>(std::move(figures))] {
                finished(ticket, text, figures);
            },
            Qt::QueuedConnection);
    });
}

void VariantCounter::finished(std::uint64_t ticket, const QString &text, const std::shared_ptr<const Figures> &figures)
{
    counting = false;
    if (ticket == latest) {
        emit counted(text);
        emit countedFigures(figures);
    } else if (!pause.isActive()) {
        // Otherwise the newest text is counted once the typing pauses.
        start();
    }
}

QString VariantCounter::describe(const Input &input, Figures *figures, const std::function<bool()> &stale)
{
    const auto outOfDate = [&stale] { return stale && stale(); };
    // On a thread of its own nothing may escape: a count that cannot be made
    // says so in the label.
    try {
        const cp1251::TemplateText encoded = cp1251::TemplateText::fromText(input.text);
        // "Строка 2, столбец 5: …", where the tool says "-e:2:5: …".
        const auto at = [](const cp1251::TextPosition &where, const QString &what) {
            return tr("Строка %1, столбец %2: %3").arg(where.line).arg(where.column).arg(what);
        };
        if (const auto &problem = encoded.problem()) {
            if (figures)
                figures->faulty = true;
            if (problem->kind == cp1251::TextProblem::Kind::Nul)
                return at(problem->position, tr("символ NUL не может быть частью шаблона"));
            return at(problem->position,
                tr("символ %1 нельзя записать в кодировке CP1251")
                    .arg(cp1251::describe(problem->codePoint, cp1251::Quotes::Russian)));
        }
        if (encoded.bytes().empty() || outOfDate())
            return {};
        std::optional<CompiledTemplate> compiledOrNot;
        try {
            compiledOrNot = CompiledTemplate::compile(encoded.bytes(), lengthrules::lengthRule(input.rule));
        } catch (const TemplateError &error) {
            if (figures)
                figures->faulty = true;
            return at(encoded.positionOf(error.offset()), tr(error.what()));
        }
        // Tabs make a table, whose rows need as many fields each.
        if (encoded.bytes().find('\t') != std::string_view::npos) {
            try {
                fieldCount(encoded.bytes());
            } catch (const FieldCountError &error) {
                if (figures)
                    figures->faulty = true;
                return at(encoded.positionOf(error.offset()),
                    tr("число полей у вариантов этой группы разное, %1 и %2, а строкам таблицы нужно поровну")
                        .arg(error.fields())
                        .arg(error.otherFields()));
            }
        }
        const CompiledTemplate &compiled = *compiledOrNot;
        if (outOfDate())
            return {};
        if (figures)
            figures->compiled = compiled;
        const QString all = tr("Вариантов: %1").arg(memoryguard::formatCount(compiled.count()));
        const QString wording = lengthrules::wording(input.rule);
        const QString byLength = wording.isEmpty() ? tr("по длине") : tr("по длине %1").arg(wording);
        if (compiled.keepsNone()) {
            if (figures)
                figures->kept = 0;
            return tr("%1, %2 подходят: 0 (%3)").arg(all, byLength, nofit::ruleKeepsNoneText(input.rule));
        }
        if (outOfDate())
            return {};
        try {
            const mpz_class kept = compiled.countInRange(input.lengths);
            if (figures)
                figures->kept = kept;
            if (kept == 0) {
                return tr("%1, %2 подходят: 0 (строки длиной %3)")
                    .arg(all, byLength, nofit::lengthsText({ compiled.minLength(), compiled.maxLength() }));
            }
            if (kept != compiled.count())
                return tr("%1, %2 подходят: %3").arg(all, byLength, memoryguard::formatCount(kept));
        } catch (const LimitError &) {
            // Too varied to split by length at a reasonable cost: the plain count stands alone.
        }
        return all;
    } catch (const std::bad_alloc &) {
        return tr("Вариантов: не хватило памяти, чтобы сосчитать");
    } catch (const std::length_error &) {
        return tr("Вариантов: не хватило памяти, чтобы сосчитать");
    }
}
