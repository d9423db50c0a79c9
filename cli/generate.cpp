#include "generate.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include <QLocale>

#include "cp1251.h"
#include "failure.h"
#include "figures.h"
#include "input.h"
#include "options.h"
#include "output.h"
#include "progress.h"
#include "razmnozhator/engine.h"
#include "run.h"
#include "selection.h"

namespace razmnozhator::cli {

namespace {

// Rough peak memory of compiling and of counting exactly, per byte of
// template, measured on large templates of many small groups.
constexpr unsigned long compileCostPerByte = 72;
constexpr unsigned long countCostPerByte = 72;

// Runs work; when memory runs out, ends the run with one line saying what
// could not be done and about how much it needed.
template <typename Work> auto needingMemory(const QString &action, const mpz_class &needed, Work work)
{
    try {
        return work();
    } catch (const std::bad_alloc &) {
    } catch (const std::length_error &) {
    }
    throw Failure(UsageFailure,
        tr("not enough memory to %1 (needed about %2)").arg(action, figures::formatDataSize(needed, QLocale::c())));
}

std::string toUtf8(std::string_view cp1251Bytes)
{
    const QByteArray utf8 = cp1251::decode(cp1251Bytes).toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::unique_ptr<OutputSink> openSink(const Options &options, std::ostream &out, const RunEnvironment &environment)
{
    if (options.outputFile.isEmpty())
        return streamSink(out, environment.outputIsTerminal);
    return openFileSink(options.outputFile);
}

void writeText(OutputSink &sink, const std::string &text)
{
    sink.write(text.data(), text.size());
    sink.finish();
}

struct Prepared
{
    // Nothing for an empty template, which has no variants at all (the
    // window ignores it too) rather than the single empty variant that the
    // grammar would give.
    std::optional<CompiledTemplate> outputTemplate;
    mpz_class templateSize;
};

// The template compiled, with its literals in the output encoding. The text,
// its bytes and the compiled CP1251 form are let go before any variant is made.
Prepared prepareTemplate(const Options &options, std::istream &in)
{
    const TemplateInput input = readTemplate(options, in);
    const cp1251::TemplateText text = templateText(input);
    const std::string &bytes = text.bytes();
    Prepared prepared { std::nullopt, static_cast<unsigned long>(bytes.size()) };
    if (bytes.empty())
        return prepared;
    needingMemory(tr("compile the template"), prepared.templateSize * compileCostPerByte, [&] {
        try {
            CompiledTemplate compiled = CompiledTemplate::compile(bytes);
            // ASCII is the same in both encodings: a copy of the compiled form
            // with its literals recoded would only double its memory.
            const bool ascii = std::all_of(
                bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
            // --diverse tells words apart in CP1251 and recodes only what it writes.
            if (options.encoding == Encoding::Utf8 && !ascii && !options.diverse)
                prepared.outputTemplate = compiled.withLiteralsMapped(toUtf8);
            else
                prepared.outputTemplate = std::move(compiled);
        } catch (const TemplateError &error) {
            throw Failure(TemplateFailure,
                tr("%1: %2").arg(
                    placeText(input.name, text.positionOf(error.offset())), QString::fromUtf8(error.what())));
        }
    });
    return prepared;
}

// The longest (or shortest) length within the range that some variant has:
// the figures of a range grow with it, so a binary search over them finds it.
std::uint64_t extremeLengthIn(const CompiledTemplate &compiled, LengthRange range, bool longest)
{
    std::uint64_t low = std::max<std::uint64_t>(range.min, compiled.minLength());
    std::uint64_t high = std::min<std::uint64_t>(range.max, compiled.maxLength());
    while (low < high) {
        if (longest) {
            const std::uint64_t middle = low + (high - low + 1) / 2;
            if (compiled.figuresInRange({ middle, high }).count > 0)
                low = middle;
            else
                high = middle - 1;
        } else {
            const std::uint64_t middle = low + (high - low) / 2;
            if (compiled.figuresInRange({ low, middle }).count > 0)
                high = middle;
            else
                low = middle + 1;
        }
    }
    return low;
}

// --count and --stats: exact figures of the kept variants, without making any.
std::string figuresText(const std::optional<CompiledTemplate> &outputTemplate, const Options &options)
{
    RangeFigures kept { 0, 0 };
    std::uint64_t longest = 0;
    std::uint64_t shortest = 0;
    if (outputTemplate) {
        const CompiledTemplate &compiled = *outputTemplate;
        const LengthRange range = options.lengths();
        try {
            kept = options.lengthBounds ? compiled.figuresInRange(range)
                                        : RangeFigures { compiled.count(), compiled.totalBytes() };
            if (options.printStatistics && kept.count > 0) {
                longest = options.lengthBounds ? extremeLengthIn(compiled, range, true) : compiled.maxLength();
                shortest = options.lengthBounds ? extremeLengthIn(compiled, range, false) : compiled.minLength();
            }
        } catch (const LimitError &error) {
            throw Failure(UsageFailure, tr("cannot count by length here: %1").arg(QString::fromUtf8(error.what())));
        }
    }
    if (options.printCount)
        return kept.count.get_str() + '\n';
    const mpz_class bytesWritten = kept.totalBytes + kept.count;
    return tr("variants: %1\nbytes: %2\nlongest: %3\nshortest: %4\n")
        .arg(QString::fromStdString(kept.count.get_str()), QString::fromStdString(bytesWritten.get_str()))
        .arg(longest)
        .arg(shortest)
        .toStdString();
}

} // namespace

int generate(
    const Options &options, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    const Prepared prepared = prepareTemplate(options, in);
    const std::optional<CompiledTemplate> &outputTemplate = prepared.outputTemplate;

    // Whatever may be refused is refused before the output is touched.
    if (options.printCount || options.printStatistics) {
        const std::string text = needingMemory(tr("count the variants"), prepared.templateSize * countCostPerByte,
            [&] { return figuresText(outputTemplate, options); });
        writeText(*openSink(options, out, environment), text);
        return Success;
    }
    std::unique_ptr<Selection> selection;
    if (outputTemplate)
        selection = needingMemory(tr("find the variants to write"), prepared.templateSize * countCostPerByte,
            [&] { return selectVariants(*outputTemplate, options); });

    const std::unique_ptr<OutputSink> sink = openSink(options, out, environment);
    std::optional<VariantWriter> writer;
    needingMemory(
        tr("write the variants"), 2 * VariantWriter::capacity, [&] { writer.emplace(*sink, options.terminator); });
    if (selection) {
        Progress progress(
            err, environment.errorIsTerminal && !sink->isTerminal(), environment.progressDelay, selection->totalText());
        std::uint64_t written = 0;
        while (selection->next()) {
            writer->put(selection->current());
            if ((++written & 0xFFFF) == 0)
                progress.update(written, selection->fraction(written));
        }
        progress.finish();
    }
    writer->finish();
    return Success;
}

} // namespace razmnozhator::cli
