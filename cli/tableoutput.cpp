#include "tableoutput.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include <QFile>
#include <QTemporaryDir>

#include "failure.h"
#include "figures.h"
#include "options.h"
#include "output.h"
#include "progress.h"
#include "selection.h"
#include "xlsxtable.h"

namespace razmnozhator::cli {

namespace {

using tables::XlsxTable;

// Characters of UTF-8 text: its bytes but the continuation bytes.
std::uint64_t characters(std::string_view utf8)
{
    return std::count_if(
        utf8.begin(), utf8.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; });
}

// The most characters a field of the row holds; a row shorter than a cell's
// limit in bytes needs no count.
std::uint64_t longestField(std::string_view row)
{
    if (row.size() <= XlsxTable::maxCellCharacters)
        return 0;
    std::uint64_t longest = 0;
    for (std::size_t begin = 0;;) {
        const std::size_t end = std::min(row.find('\t', begin), row.size());
        longest = std::max(longest, characters(row.substr(begin, end - begin)));
        if (end == row.size())
            return longest;
        begin = end + 1;
    }
}

void copyFile(const QString &fileName, OutputSink &sink)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw OutputError(tr("cannot read the workbook made: %1").arg(file.errorString()));
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(chunk.data(), chunk.size());
        if (read < 0)
            throw OutputError(tr("cannot read the workbook made: %1").arg(file.errorString()));
        if (read == 0)
            break;
        sink.write(chunk.constData(), static_cast<std::size_t>(read));
    }
    sink.finish();
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
    const QByteArray names = header.join(u'\t').toUtf8();
    const std::string_view tabSeparated(names.constData(), static_cast<std::size_t>(names.size()));
    std::string preamble;
    if (options.format == tables::Format::Csv) {
        preamble = tables::byteOrderMark;
        tables::appendCsvRow(preamble, tabSeparated);
    } else if (options.format == tables::Format::Tsv) {
        preamble = tabSeparated;
        preamble += '\n';
    }
    return preamble;
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
    QTemporaryDir folder;
    if (!folder.isValid())
        throw OutputError(tr("cannot make a folder for the workbook: %1").arg(folder.errorString()));
    const QString fileName = folder.filePath(QStringLiteral("table.xlsx"));
    // Past 4 GiB a workbook's parts need the larger form of zip file; a row
    // of XML takes about a dozen bytes a cell besides its text.
    const double estimate = double(rows + 1) * (double(longest) * 4 + 32.0 * header.size());
    XlsxTable table(fileName, estimate > double(std::uint64_t(1) << 32) * 0.75);
    const auto check = [&](bool written) {
        if (!written)
            throw OutputError(tr("cannot write the workbook: %1").arg(table.errorString()));
    };
    check(table.addHeader(header));
    std::uint64_t written = 0;
    while (selection && selection->next()) {
        const std::string_view row = selection->current();
        if (const std::uint64_t characters = longestField(row); characters > XlsxTable::maxCellCharacters)
            throw Failure(UsageFailure,
                tr("row %1 holds a field of %2 characters, and an xlsx cell holds at most %3; keep shorter rows "
                   "with --max-length")
                    .arg(written + 1)
                    .arg(characters)
                    .arg(XlsxTable::maxCellCharacters));
        check(table.addRow(row));
        if (++written % 0x10000 == 0)
            progress.update(written, selection->fraction(written));
    }
    check(table.close());
    progress.finish();
    copyFile(fileName, sink);
}

} // namespace razmnozhator::cli
