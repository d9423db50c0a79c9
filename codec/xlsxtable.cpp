#include "xlsxtable.h"

#include <algorithm>
#include <string>
#include <utility>

#include <QCoreApplication>

#include <xlsxwriter.h>

namespace razmnozhator::tables {

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A sheet reads "_xHHHH_" as the character HHHH, which is how the library
// writes control characters; text that holds it already keeps it by having
// its underscore written so too.
void appendCellText(std::string &out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && isHex(text[i + 2]) && isHex(text[i + 3])
            && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == '_')
            out += "_x005F";
        out += text[i];
    }
}

// Characters of UTF-8 text: its bytes but the continuation bytes.
std::uint64_t characters(std::string_view utf8)
{
    return static_cast<std::uint64_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

} // namespace

std::optional<LongField> fieldTooLongForCell(std::string_view tabSeparated)
{
    // A row no longer in bytes than a cell in characters needs no count.
    if (tabSeparated.size() <= XlsxTable::maxCellCharacters)
        return std::nullopt;
    std::size_t field = 0;
    for (std::size_t begin = 0;; ++field) {
        const std::size_t end = std::min(tabSeparated.find('\t', begin), tabSeparated.size());
        if (const std::uint64_t count = characters(tabSeparated.substr(begin, end - begin));
            count > XlsxTable::maxCellCharacters)
            return LongField { field, count };
        if (end == tabSeparated.size())
            return std::nullopt;
        begin = end + 1;
    }
}

XlsxTable::XlsxTable(const QString &fileName, bool large)
{
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = large ? LXW_TRUE : LXW_FALSE;
    const QByteArray name = fileName.toUtf8();
    workbook_ = workbook_new_opt(name.constData(), &options);
    if (workbook_)
        sheet_ = workbook_add_worksheet(workbook_, nullptr);
    if (!sheet_)
        error_ = QCoreApplication::translate("MainWindow", "не удалось начать книгу Excel");
}

XlsxTable::~XlsxTable()
{
    if (workbook_)
        close();
}

bool XlsxTable::addHeader(const QStringList &names)
{
    std::uint16_t column = 0;
    for (const QString &name : names) {
        std::string text;
        appendCellText(text, name.toStdString());
        if (!writeCell(column++, text.c_str()))
            return false;
    }
    ++row_;
    return true;
}

bool XlsxTable::addRow(std::string_view tabSeparated)
{
    std::string field;
    std::uint16_t column = 0;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(tabSeparated.find('\t', begin), tabSeparated.size());
        // An empty cell is no cell at all: the sheet reads it back as empty text.
        if (end > begin) {
            field.clear();
            appendCellText(field, tabSeparated.substr(begin, end - begin));
            if (!writeCell(column, field.c_str()))
                return false;
        }
        if (end == tabSeparated.size())
            break;
        ++column;
        begin = end + 1;
    }
    ++row_;
    return true;
}

bool XlsxTable::writeCell(std::uint16_t column, const char *text)
{
    if (!sheet_)
        return false;
    const lxw_error error = worksheet_write_string(sheet_, row_, column, text, nullptr);
    return error == LXW_NO_ERROR || fail(error);
}

bool XlsxTable::close()
{
    if (!workbook_)
        return error_.isEmpty();
    const lxw_error error = workbook_close(std::exchange(workbook_, nullptr));
    sheet_ = nullptr;
    return error == LXW_NO_ERROR ? error_.isEmpty() : fail(error);
}

bool XlsxTable::fail(int error)
{
    if (error_.isEmpty())
        error_ = QString::fromUtf8(lxw_strerror(static_cast<lxw_error>(error)));
    return false;
}

} // namespace razmnozhator::tables
