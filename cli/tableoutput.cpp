#include "tableoutput.h"

#include <optional>
#include <string_view>

#include "failure.h"
#include "figures.h"
#include "options.h"
#include "output.h"
#include "progress.h"
#include "selection.h"
#include "tables.h"
#include "workbookfile.h"
#include "xlsxtable.h"

namespace razmnozhator::cli {

namespace {

using tables::WorkbookFile;
using tables::XlsxTable;

QString workbookFailure(const WorkbookFile &workbook)
{
    switch (workbook.failedStep()) {
    case WorkbookFile::Step::Folder:
        return tr("cannot make a folder for the workbook: %1").arg(workbook.errorString());
    case WorkbookFile::Step::Reading:
        return tr("cannot read the workbook made: %1").arg(workbook.errorString());
    case WorkbookFile::Step::Sheet:
    case WorkbookFile::Step::Output:
        break;
    }
    return tr("cannot write the workbook: %1").arg(workbook.errorString());
}

} // namespace

QStringList tableHeader(const Options &options, std::uint64_t fields)
{
    if (!options.header)
        return tables::fieldNames(static_cast<int>(fields));
    if (std::uint64_t(options.header->size()) != fields)
        throw Failure(UsageFailure,
            tr("--header names %1 fields, but the template's variants have %2")
                .arg(options.header->size())
                .arg(fields));
    return *options.header;
}

std::string tablePreamble(const Options &options, const QStringList &header)
{
    if (options.slice && options.slice->index != 1)
        return {};
    return tables::preamble(options.format, header);
}

void checkSheetRows(const mpz_class &rows)
{
    if (rows + 1 <= figures::fromUnsigned(XlsxTable::maxRows))
        return;
    throw Failure(UsageFailure,
        tr("an xlsx sheet holds at most %1 rows with the header, and %2 rows were to be written; write fewer with "
           "--max-count, or the rows in several workbooks with --shard")
            .arg(XlsxTable::maxRows)
            .arg(QString::fromStdString(mpz_class(rows + 1).get_str())));
}

void writeWorkbook(Selection *selection, const QStringList &header, std::uint64_t rows, std::uint64_t longest,
    OutputSink &sink, Progress &progress)
{
    WorkbookFile workbook(rows + 1, longest, static_cast<int>(header.size()));
    const auto check = [&](bool done) {
        if (!done)
            throw OutputError(workbookFailure(workbook));
    };
    check(workbook.addHeader(header));
    std::uint64_t written = 0;
    while (selection && selection->next()) {
        const std::string_view row = selection->current();
        if (const std::optional<tables::LongField> field = tables::fieldTooLongForCell(row))
            throw Failure(UsageFailure,
                tr("row %1 holds a field of %2 characters, and an xlsx cell holds at most %3; keep shorter rows "
                   "with --max-length")
                    .arg(written + 1)
                    .arg(field->characters)
                    .arg(XlsxTable::maxCellCharacters));
        check(workbook.addRow(row));
        if (++written % 0x10000 == 0)
            progress.update(written, selection->fraction(written));
    }
    check(workbook.close());
    progress.finish();
    // The sink throws for a chunk it cannot write.
    check(workbook.copyTo([&sink](const char *data, std::size_t size) {
        sink.write(data, size);
        return true;
    }));
    sink.finish();
}

} // namespace razmnozhator::cli
