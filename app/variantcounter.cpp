#include "variantcounter.h"

#include <new>
#include <string>

#include "cp1251.h"
#include "memoryguard.h"
#include "razmnozhator/engine.h"
#include "templatetext.h"

using namespace razmnozhator;

namespace {

// Long enough to skip the keys of one word, short enough to feel immediate.
constexpr int pauseMilliseconds = 150;
// Counts up to this many digits are shown in full; longer ones would push
// everything else out of the status line.
constexpr std::size_t fullDigits = 20;

// "17414258688" -> "17 414 258 688".
QString groupedCount(const mpz_class &count)
{
    const std::string digits = count.get_str();
    if (digits.size() > fullDigits)
        return memoryguard::formatCount(count);
    QString grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += u' ';
        grouped += QChar::fromLatin1(digits[i]);
    }
    return grouped;
}

} // namespace

VariantCounter::VariantCounter(std::function<Input()> inputSource, QObject *parent)
    : QObject(parent)
    , source(std::move(inputSource))
{
    pause.setSingleShot(true);
    pause.setInterval(pauseMilliseconds);
    connect(&pause, &QTimer::timeout, this, &VariantCounter::start);
    // One count at a time: a newer one waits for the older, which is dropped.
    pool.setMaxThreadCount(1);
}

VariantCounter::~VariantCounter()
{
    // A count still running reports to this object, so it must end first.
    pool.clear();
    pool.waitForDone();
}

void VariantCounter::schedule()
{
    ++latest;
    pause.start();
}

void VariantCounter::start()
{
    const std::uint64_t ticket = ++latest;
    Input input = source();
    pool.start([this, ticket, input = std::move(input)] {
        if (ticket != latest)
            return;
        QString text = describe(input);
        QMetaObject::invokeMethod(
            this,
            [this, ticket, text = std::move(text)] {
                if (ticket == latest)
                    emit counted(text);
            },
            Qt::QueuedConnection);
    });
}

QString VariantCounter::describe(const Input &input)
{
    const cp1251::TemplateText encoded = cp1251::TemplateText::fromText(input.text);
    if (const auto &problem = encoded.problem()) {
        if (problem->kind == cp1251::TextProblem::Kind::Nul)
            return tr("Символ NUL не может быть частью шаблона");
        return tr("Символ %1 нельзя записать в кодировке CP1251").arg(cp1251::describe(problem->codePoint));
    }
    if (encoded.bytes().empty())
        return {};
    try {
        const CompiledTemplate compiled = CompiledTemplate::compile(encoded.bytes());
        return tr("Вариантов: %1").arg(groupedCount(compiled.count()));
    } catch (const TemplateError &error) {
        return tr(error.what());
    } catch (const std::bad_alloc &) {
        return tr("Вариантов: не хватило памяти, чтобы сосчитать");
    }
}
