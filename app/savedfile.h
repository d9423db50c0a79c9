#pragma once

// How the lines go into a file the user saves: as text, a line each, in
// CP1251 or in UTF-8, or, when they are the rows of a table, as a table in
// UTF-8 written exactly as the command-line tool writes it: a header row
// naming the fields, then a row per line, as tab-separated text, as
// comma-separated values or as an Excel workbook.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <gmpxx.h>

#include <QString>
#include <QStringList>

namespace razmnozhator::tables {
class WorkbookFile;
}

enum class SavedFormat { Cp1251Lines, Utf8Lines, Tsv, Csv, Xlsx };

// The save dialog's file types: the text's, then, for the lines of a table,
// the table's.
QString savedFileTypes(bool table);
// The format of the file type chosen. The lines of a table saved under a
// text type into a name that ends in .xlsx, .csv or .tsv are that table, as
// the command-line tool's -o NAME chooses.
SavedFormat savedFormat(const QString &fileType, const QString &fileName, bool table);

// "В лист Excel помещается не более 1 048 576 строк...", for a table of
// `rows` rows besides its header, or of more than a sheet holds when the
// number is not known; none when a sheet holds them.
std::optional<QString> tooManyRowsForSheet(const std::optional<mpz_class> &rows);

class SavedFileWriter
{
public:
    // Takes the file's bytes in order; false when it cannot.
    using Write = std::function<bool(const char *, std::size_t)>;

    // fields: those of each line, 1 for lines that are no table. rows and
    // lineBytes say about how big a workbook grows: its rows, and the bytes of
    // a line on average or at most.
    SavedFileWriter(SavedFormat format, int fields, std::uint64_t rows, std::uint64_t lineBytes, Write write);
    ~SavedFileWriter();
    SavedFileWriter(const SavedFileWriter &) = delete;
    SavedFileWriter &operator=(const SavedFileWriter &) = delete;

    // Each returns false when write refused bytes, or when the lines cannot
    // be saved so; then problem() says why.
    bool put(std::string_view line);
    bool finish();

    // Why the lines cannot be saved in this format: a workbook that cannot
    // hold them or could not be made. Empty when only the file failed.
    const QString &problem() const { return problem_; }

private:
    bool flush();
    bool addToWorkbook(std::string_view line);
    // The workbook's failure as the problem, unless writing the file failed.
    bool workbookFailed();

    SavedFormat format_;
    QStringList header_;
    Write write_;
    std::string block_;
    // A line in UTF-8, as a table's row is written.
    std::string row_;
    std::unique_ptr<razmnozhator::tables::WorkbookFile> workbook_;
    std::uint64_t rows_ = 0;
    QString problem_;
};
