#include "savedfile.h"

#include <utility>

#include <QCoreApplication>

#include "cp1251.h"
#include "memoryguard.h"
#include "tables.h"
#include "workbookfile.h"
#include "xlsxtable.h"

using razmnozhator::tables::XlsxTable;

namespace {

// Lines go to the file in blocks of about this size rather than one write per line.
constexpr std::size_t writeBlock = 1 << 20;

QString tr(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

struct FileType
{
    SavedFormat format;
    const char *name;
};

// Windows-1251 first, as the window always saved; then UTF-8 without a byte
// order mark, which most ad platforms' tools read.
constexpr FileType textTypes[] = {
    { SavedFormat::Cp1251Lines, "All Files (*)" },
    { SavedFormat::Cp1251Lines, "Text Files (*.txt)" },
    { SavedFormat::Utf8Lines, "All Files, UTF-8 (*)" },
    { SavedFormat::Utf8Lines, "Text Files, UTF-8 (*.txt)" },
};

// The workbook first: what Direct's web interface loads and any spreadsheet
// opens; then what Google Ads Editor and Direct Commander read.
constexpr FileType tableTypes[] = {
    { SavedFormat::Xlsx, "Таблица Excel (*.xlsx)" },
    { SavedFormat::Csv, "CSV (*.csv)" },
    { SavedFormat::Tsv, "Текст с табуляцией, UTF-8 (*.tsv)" },
};

razmnozhator::tables::Format tableFormat(SavedFormat format)
{
    using razmnozhator::tables::Format;
    switch (format) {
    case SavedFormat::Tsv:
        return Format::Tsv;
    case SavedFormat::Csv:
        return Format::Csv;
    case SavedFormat::Xlsx:
        return Format::Xlsx;
    case SavedFormat::Cp1251Lines:
    case SavedFormat::Utf8Lines:
        break;
    }
    return Format::Lines;
}

} // namespace

QString savedFileTypes(bool table)
{
    QStringList types;
    for (const FileType &type : textTypes)
        types << tr(type.name);
    if (table) {
        for (const FileType &type : tableTypes)
            types << tr(type.name);
    }
    return types.join(QStringLiteral(";;"));
}

SavedFormat savedFormat(const QString &fileType, const QString &fileName, bool table)
{
    if (table) {
        for (const FileType &type : tableTypes) {
            if (fileType == tr(type.name))
                return type.format;
        }
        switch (razmnozhator::tables::formatOfFileName(fileName)) {
        case razmnozhator::tables::Format::Tsv:
            return SavedFormat::Tsv;
        case razmnozhator::tables::Format::Csv:
            return SavedFormat::Csv;
        case razmnozhator::tables::Format::Xlsx:
            return SavedFormat::Xlsx;
        case razmnozhator::tables::Format::Lines:
            break;
        }
    }
    for (const FileType &type : textTypes) {
        if (fileType == tr(type.name))
            return type.format;
    }
    return SavedFormat::Cp1251Lines;
}

std::optional<QString> tooManyRowsForSheet(const std::optional<mpz_class> &rows)
{
    if (rows && *rows + 1 <= XlsxTable::maxRows)
        return std::nullopt;
    const QString sheet = tr("В лист Excel помещается не более %1 строк вместе со строкой заголовка, ")
                              .arg(memoryguard::formatCount(XlsxTable::maxRows));
    const QString table
        = rows ? tr("а таблица займёт %1.").arg(memoryguard::formatCount(*rows + 1)) : tr("а строк в таблице больше.");
    return sheet + table + tr(" Оставьте меньше строк или сохраните таблицу в CSV или TSV.");
}

SavedFileWriter::SavedFileWriter(
    SavedFormat format, int fields, std::uint64_t rows, std::uint64_t lineBytes, Write write)
    : format_(format)
    , header_(razmnozhator::tables::fieldNames(fields))
    , write_(std::move(write))
{
    block_.reserve(writeBlock + 256);
    if (format_ != SavedFormat::Xlsx) {
        block_ = razmnozhator::tables::preamble(tableFormat(format_), header_);
        return;
    }
    // A line of CP1251 takes up to three bytes of UTF-8.
    workbook_ = std::make_unique<razmnozhator::tables::WorkbookFile>(rows + 1, 3 * lineBytes, fields);
    if (!workbook_->addHeader(header_))
        workbookFailed();
}

SavedFileWriter::~SavedFileWriter() = default;

bool SavedFileWriter::put(std::string_view line)
{
    if (!problem_.isEmpty())
        return false;
    switch (format_) {
    case SavedFormat::Cp1251Lines:
        block_.append(line);
        block_.push_back('\n');
        break;
    case SavedFormat::Utf8Lines:
    case SavedFormat::Tsv:
        razmnozhator::cp1251::appendUtf8(block_, line);
        block_.push_back('\n');
        break;
    case SavedFormat::Csv:
        row_.clear();
        razmnozhator::cp1251::appendUtf8(row_, line);
        razmnozhator::tables::appendCsvRow(block_, row_);
        break;
    case SavedFormat::Xlsx:
        return addToWorkbook(line);
    }
    return block_.size() < writeBlock || flush();
}

bool SavedFileWriter::addToWorkbook(std::string_view line)
{
    // Counted as they come when their number was not known beforehand.
    if (++rows_ + 1 > XlsxTable::maxRows) {
        problem_ = *tooManyRowsForSheet(std::nullopt);
        return false;
    }
    row_.clear();
    razmnozhator::cp1251::appendUtf8(row_, line);
    if (const std::optional<razmnozhator::tables::LongField> field = razmnozhator::tables::fieldTooLongForCell(row_)) {
        problem_ = tr("Поле «%1» в строке %2 не помещается в ячейку Excel: в ячейку помещается не более %3 "
                      "символов, а в поле их %4. Оставьте строки короче или сохраните таблицу в CSV или TSV.")
                       .arg(header_.value(static_cast<qsizetype>(field->field)), memoryguard::formatCount(rows_),
                           memoryguard::formatCount(XlsxTable::maxCellCharacters),
                           memoryguard::formatCount(field->characters));
        return false;
    }
    return workbook_->addRow(row_) || workbookFailed();
}

bool SavedFileWriter::finish()
{
    if (!problem_.isEmpty())
        return false;
    if (format_ != SavedFormat::Xlsx)
        return flush();
    return (workbook_->close() && workbook_->copyTo(write_)) || workbookFailed();
}

bool SavedFileWriter::flush()
{
    const bool written = write_(block_.data(), block_.size());
    block_.clear();
    return written;
}

bool SavedFileWriter::workbookFailed()
{
    if (workbook_->failedStep() != razmnozhator::tables::WorkbookFile::Step::Output)
        problem_ = tr("Не удалось собрать книгу Excel: %1").arg(workbook_->errorString());
    return false;
}
