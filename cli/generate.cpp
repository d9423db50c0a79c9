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
#include "holding.h"
#include "input.h"
#include "options.h"
#include "output.h"
#include "progress.h"
#include "razmnozhator/engine.h"
#include "razmnozhator/restriction.h"
#include "run.h"

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

// Without --shuffle nothing is held: variants are filtered and written as they
// are enumerated, and enumeration stops at --max-count. The progress goes by
// the instant, saturating count: nothing here waits for the exact one.
void writeStreaming(
    const CompiledTemplate &outputTemplate, const Options &options, VariantWriter &writer, Progress &progress)
{
    Restriction restriction(options.rules, Restriction::Holding::Copies, characterLength(options.encoding));
    const double total = double(outputTemplate.countOrMax());
    const double cap = options.rules.maxCount;
    std::uint64_t visited = 0;
    std::uint64_t written = 0;
    Enumerator enumerator(outputTemplate);
    while (restriction.wantsMore() && enumerator.next()) {
        const std::string_view variant = enumerator.current();
        if (restriction.offer(variant)) {
            writer.put(variant);
            ++written;
        }
        if ((++visited & 0xFFFF) == 0)
            progress.update(written, std::max(double(visited) / total, double(written) / cap));
    }
}

// The number the progress line counts up to, when it is known in advance.
QString progressTotal(const CompiledTemplate &outputTemplate, const Options &options, const Shuffled *shuffled)
{
    if (shuffled)
        return QString::number(shuffled->restriction.order().size());
    if (options.lengthBounds)
        return {};
    const std::uint64_t count = outputTemplate.countOrMax();
    if (count == UINT64_MAX && options.rules.maxCount == UINT32_MAX)
        return {};
    return QString::number(std::min<std::uint64_t>(count, options.rules.maxCount));
}

} // namespace

int generate(
    const Options &options, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    const TemplateInput input = readTemplate(options, in);
    const cp1251::TemplateText text = templateText(input);
    const std::string &bytes = text.bytes();
    const mpz_class templateSize = static_cast<unsigned long>(bytes.size());

    // An empty template has no variants at all (the window ignores it too),
    // rather than the single empty variant that the grammar would give.
    std::optional<CompiledTemplate> compiled;
    std::optional<CompiledTemplate> outputTemplate;
    if (!bytes.empty()) {
        needingMemory(tr("compile the template"), templateSize * compileCostPerByte, [&] {
            try {
                compiled = CompiledTemplate::compile(bytes);
            } catch (const TemplateError &error) {
                throw Failure(TemplateFailure,
                    tr("%1: %2").arg(
                        placeText(input.name, text.positionOf(error.offset())), QString::fromUtf8(error.what())));
            }
            outputTemplate = options.encoding == Encoding::Utf8 ? compiled->withLiteralsMapped(toUtf8) : *compiled;
        });
    }

    // A shuffle that cannot be held is refused before the output is touched.
    std::unique_ptr<Shuffled> shuffled;
    if (compiled && options.rules.shuffle)
        shuffled = holdShuffled(*outputTemplate, options);

    const std::unique_ptr<OutputSink> sink = openSink(options, out, environment);
    if (options.printCount || options.printStatistics) {
        const auto exactly = [&](const auto &figure) {
            return needingMemory(tr("count the variants"), templateSize * countCostPerByte,
                [&] { return compiled ? figure() : mpz_class(0); });
        };
        const mpz_class count = exactly([&] { return compiled->count(); });
        if (options.printCount) {
            writeText(*sink, count.get_str() + '\n');
            return Success;
        }
        const mpz_class bytesWritten = exactly([&] { return mpz_class(outputTemplate->totalBytes() + count); });
        const std::size_t longest = compiled ? compiled->maxLength() : 0;
        writeText(*sink,
            tr("variants: %1\nbytes: %2\nlongest: %3\n")
                .arg(QString::fromStdString(count.get_str()), QString::fromStdString(bytesWritten.get_str()))
                .arg(longest)
                .toStdString());
        return Success;
    }

    std::optional<VariantWriter> writer;
    needingMemory(
        tr("write the variants"), 2 * VariantWriter::capacity, [&] { writer.emplace(*sink, options.terminator); });
    if (compiled) {
        Progress progress(err, environment.errorIsTerminal && !sink->isTerminal(), environment.progressDelay,
            progressTotal(*outputTemplate, options, shuffled.get()));
        if (shuffled)
            writeShuffled(*shuffled, *writer, progress);
        else
            writeStreaming(*outputTemplate, options, *writer, progress);
        progress.finish();
    }
    writer->finish();
    return Success;
}

} // namespace razmnozhator::cli
