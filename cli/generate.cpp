#include "generate.h"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>

#include <QLocale>

#include "counting.h"
#include "failure.h"
#include "figures.h"
#include "input.h"
#include "options.h"
#include "output.h"
#include "progress.h"
#include "run.h"
#include "selection.h"
#include "tableoutput.h"
#include "tables.h"
#include "xlsxtable.h"

namespace razmnozhator::cli {

namespace {

// Rough peak memory of compiling and of counting exactly or indexing, per
// character of template, measured on large templates of many small groups.
constexpr unsigned long preparingCostPerCharacter = 72;

// What a run writes, ready before the output is touched: a refusal leaves an
// existing output file as it was.
struct Prepared
{
    std::optional<CompiledTemplate> compiled;
    std::string figures; // --count and --stats
    std::unique_ptr<Selection> selection; // otherwise; none for an empty template
    // A table's header, and about how many rows a workbook gets.
    QStringList header;
    std::uint64_t rows = 0;
};

bool writesTable(const Options &options)
{
    return options.format != tables::Format::Lines && !std::holds_alternative<choice::Figures>(options.choice);
}

// The rows of a workbook, refused before anything is written when a sheet
// cannot hold them.
std::uint64_t sheetRows(const Prepared &prepared, const Options &options)
{
    try {
        const mpz_class rows = writtenCount(prepared.compiled, options);
        checkSheetRows(rows);
        return rows.get_ui();
    } catch (const LimitError &) {
        // Too costly to count here: the workbook stops at a sheet's last row.
        return tables::XlsxTable::maxRows;
    }
}

// Reads and compiles the template and makes ready what the chosen way
// writes. Running out of memory anywhere on the way ends the run with one
// line saying what could not be done, and about how much it needed where
// that is known.
void prepare(Prepared &prepared, const Options &options, std::istream &in)
{
    QString doing = tr("compile the template");
    mpz_class needed = 0;
    try {
        {
            // The text is let go before any variant is made.
            const TemplateInput input = readTemplate(options, in);
            if (writesTable(options))
                prepared.header = tableHeader(options, templateFields(input));
            needed = mpz_class(static_cast<unsigned long>(input.text.size())) * preparingCostPerCharacter;
            // --diverse tells words apart in CP1251 and recodes only what it writes.
            const auto *sample = std::get_if<choice::Sample>(&options.choice);
            // Every count, listing and choice below measures lengths by the rule.
            prepared.compiled = compileTemplate(input, sample && sample->diverse ? Encoding::Cp1251 : options.encoding,
                lengthrules::lengthRule(options.rule));
        }
        needed = 0;
        if (const auto *figures = std::get_if<choice::Figures>(&options.choice)) {
            doing = tr("count the variants");
            prepared.figures = figuresText(prepared.compiled, options, figures->statistics);
        } else {
            doing = tr("find the variants to write");
            prepared.selection = selectVariants(prepared.compiled, options);
            if (options.format == tables::Format::Xlsx)
                prepared.rows = sheetRows(prepared, options);
        }
        return;
    } catch (const std::bad_alloc &) {
    } catch (const std::length_error &) {
    }
    // The estimate holds for compiling alone; a later step that ran out
    // names no figure rather than a wrong one.
    if (needed == 0)
        throw Failure(UsageFailure, tr("not enough memory to %1").arg(doing));
    throw Failure(UsageFailure,
        tr("not enough memory to %1 (needed %2)").arg(doing, figures::aboutDataSize(needed, QLocale::c())));
}

std::unique_ptr<OutputSink> openSink(const Options &options, std::ostream &out, const RunEnvironment &environment)
{
    if (options.outputFile.isEmpty())
        return streamSink(out, environment.outputIsTerminal);
    return openFileSink(options.outputFile);
}

} // namespace

int generate(
    const Options &options, std::istream &in, std::ostream &out, std::ostream &err, const RunEnvironment &environment)
{
    Prepared prepared;
    prepare(prepared, options, in);
    // An empty result would leave the user guessing why; the bounds are not
    // to blame here, the rule is.
    if (prepared.compiled && prepared.compiled->keepsNone())
        err << programName << ": " << tr("no variant is kept: %1").arg(everyVariantOverLimit(options.rule)).toStdString()
            << '\n';

    const std::unique_ptr<OutputSink> sink = openSink(options, out, environment);
    if (std::holds_alternative<choice::Figures>(options.choice)) {
        sink->write(prepared.figures.data(), prepared.figures.size());
        sink->finish();
        return Success;
    }
    Selection *selection = prepared.selection.get();
    if (options.format == tables::Format::Xlsx) {
        if (sink->isTerminal())
            throw Failure(UsageFailure, tr("an xlsx workbook is not text for a terminal; write it with -o NAME.xlsx"));
        Progress progress(err, environment.errorIsTerminal, environment.progressDelay,
            selection ? selection->totalText() : QString());
        writeWorkbook(selection, prepared.header, prepared.rows, prepared.compiled ? prepared.compiled->maxLength() : 0,
            *sink, progress);
        return Success;
    }
    std::optional<VariantWriter> writer;
    try {
        writer.emplace(*sink, options.terminator);
    } catch (const std::bad_alloc &) {
        throw Failure(UsageFailure,
            tr("not enough memory to write the variants (needed %1)")
                .arg(figures::aboutDataSize(2 * VariantWriter::capacity, QLocale::c())));
    }
    writer->append(tablePreamble(options, prepared.header));
    // A csv row is the variant rewritten; lines and tsv rows are the variant.
    const bool csv = options.format == tables::Format::Csv;
    std::string row;
    if (selection) {
        Progress progress(
            err, environment.errorIsTerminal && !sink->isTerminal(), environment.progressDelay, selection->totalText());
        std::uint64_t written = 0;
        // Many variants at once straight into the output buffer, for as long
        // as the selection writes that way; one at a time otherwise. Either
        // way the progress line hears every 65536 variants.
        constexpr std::uint64_t progressStep = 0x10000;
        bool inPlace = !csv;
        for (;;) {
            if (inPlace) {
                const std::span<char> room = writer->room();
                const WrittenLines lines = selection->fill(
                    room.data(), room.size(), options.terminator, progressStep - written % progressStep);
                if (lines.lines != 0) {
                    writer->commit(lines.bytes);
                    written += lines.lines;
                    if (written % progressStep == 0)
                        progress.update(written, selection->fraction(written));
                    continue;
                }
                if (!selection->next())
                    break;
                // Nothing written although the variant fits: this selection
                // gives its variants one by one.
                inPlace = selection->current().size() >= room.size();
            } else if (!selection->next()) {
                break;
            }
            if (csv) {
                row.clear();
                tables::appendCsvRow(row, selection->current());
                writer->append(row);
            } else {
                writer->put(selection->current());
            }
            if (++written % progressStep == 0)
                progress.update(written, selection->fraction(written));
        }
        progress.finish();
    }
    writer->finish();
    return Success;
}

} // namespace razmnozhator::cli
