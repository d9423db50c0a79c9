#pragma once

// A table written as an Excel workbook of one sheet, row by row in flat
// memory: every cell is text, so that "=1+1", "-50%", "3.5" or "01.02" stay
// the text they are, never a formula, a number or a date.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include <QString>
#include <QStringList>

struct lxw_workbook;
struct lxw_worksheet;

namespace razmnozhator::tables {

class XlsxTable
{
public:
    // What one sheet holds at most: its rows, the header's among them, and
    // the characters of one cell.
    static constexpr std::uint64_t maxRows = 1048576;
    static constexpr std::uint64_t maxCellCharacters = 32767;

    // Writes to fileName, which must be a new file in a folder that takes
    // one; a workbook over 4 GiB needs `large` set.
    explicit XlsxTable(const QString &fileName, bool large = false);
    ~XlsxTable();
    XlsxTable(const XlsxTable &) = delete;
    XlsxTable &operator=(const XlsxTable &) = delete;

    // Each returns false on failure, with the reason in errorString().
    bool addHeader(const QStringList &names);
    // A UTF-8 text whose tabs separate the row's fields.
    bool addRow(std::string_view tabSeparated);
    bool close();

    QString errorString() const { return error_; }

private:
    bool writeCell(std::uint16_t column, const char *text);
    bool fail(int error);

    lxw_workbook *workbook_ = nullptr;
    lxw_worksheet *sheet_ = nullptr;
    std::uint32_t row_ = 0;
    QString error_;
};

// A field longer than a sheet's cell holds: its place in the row, from 0,
// and its characters.
struct LongField
{
    std::size_t field = 0;
    std::uint64_t characters = 0;
};

// The first field of a UTF-8 row, its fields separated by tabs, that no
// cell holds; none when every field fits.
std::optional<LongField> fieldTooLongForCell(std::string_view tabSeparated);

} // namespace razmnozhator::tables
