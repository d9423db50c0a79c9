#include "generate.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cp1251.h"
#include "failure.h"
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

mpz_class minimum(const mpz_class &a, const mpz_class &b)
{
    return a < b ? a : b;
}

// Without --shuffle nothing is held: variants are filtered and written as they
// are enumerated, and enumeration stops at --max-count.
void writeStreaming(const CompiledTemplate &outputTemplate, const Options &options, VariantWriter &writer,
    Progress &progress, const mpz_class &count)
{
    const RestrictRules &rules = options.rules;
    const double total = count.get_d();
    std::uint64_t visited = 0;
    std::uint64_t written = 0;
    Enumerator enumerator(outputTemplate);
    while (written < rules.maxCount && enumerator.next()) {
        const std::string_view variant = enumerator.current();
        if (!options.lengthBounds || lengthAllowed(characterCount(variant, options.encoding), rules)) {
            writer.put(variant);
            ++written;
        }
        if ((++visited & 0xFFFF) == 0)
            progress.update(written, std::max(double(visited) / total, double(written) / rules.maxCount));
    }
}

} // namespace

int generate(
    const Options &options, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    const std::string bytes = templateBytes(readTemplate(options, in));

    // An empty template has no variants at all (the window ignores it too),
    // rather than the single empty variant that the grammar would give.
    std::optional<CompiledTemplate> compiled;
    if (!bytes.empty()) {
        try {
            compiled = CompiledTemplate::compile(bytes);
        } catch (const TemplateError &error) {
            throw Failure(
                TemplateFailure, tr("%1 at column %2").arg(QString::fromUtf8(error.what())).arg(error.offset() + 1));
        }
    }

    std::optional<CompiledTemplate> outputTemplate;
    if (compiled)
        outputTemplate = options.encoding == Encoding::Utf8 ? compiled->withLiteralsMapped(toUtf8) : *compiled;
    const mpz_class count = compiled ? compiled->count() : mpz_class(0);

    // A shuffle that cannot be held is refused before the output is touched.
    std::optional<Shuffled> shuffled;
    if (compiled && options.rules.shuffle)
        shuffled = holdShuffled(*outputTemplate, options, count);

    const std::unique_ptr<OutputSink> sink = openSink(options, out, environment);
    if (options.printCount) {
        writeText(*sink, count.get_str() + '\n');
        return Success;
    }
    if (options.printStatistics) {
        const mpz_class bytesWritten = compiled ? outputTemplate->totalBytes() + count : mpz_class(0);
        const std::size_t longest = compiled ? compiled->maxLength() : 0;
        writeText(*sink,
            tr("variants: %1\nbytes: %2\nlongest: %3\n")
                .arg(QString::fromStdString(count.get_str()), QString::fromStdString(bytesWritten.get_str()))
                .arg(longest)
                .toStdString());
        return Success;
    }

    VariantWriter writer(*sink, options.terminator);
    if (compiled) {
        QString totalText;
        if (shuffled)
            totalText = QString::number(shuffled->order.size());
        else if (!options.lengthBounds)
            totalText = QString::fromStdString(minimum(count, mpz_class(options.rules.maxCount)).get_str());
        Progress progress(
            err, environment.errorIsTerminal && !sink->isTerminal(), environment.progressDelay, totalText);
        if (shuffled)
            writeShuffled(*shuffled, writer, progress);
        else
            writeStreaming(*outputTemplate, options, writer, progress, count);
        progress.finish();
    }
    writer.finish();
    return Success;
}

} // namespace razmnozhator::cli
