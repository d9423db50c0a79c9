#pragma once

// Variants as the rows of a table: a tab separates a variant's fields. The
// formats a table is written in, the names its header gives the fields, what
// a file holds before its rows, and a row as comma-separated values; read by
// the window and the command-line tool alike.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

namespace razmnozhator::tables {

// Lines: each variant as it is, today's output. Tsv: a header row, then the
// variants; UTF-8 without a byte order mark, as Direct Commander reads it.
// Csv: RFC 4180 with a byte order mark, as spreadsheets and Google Ads
// Editor read it. Xlsx: a workbook of one sheet, every cell text.
enum class Format { Lines, Tsv, Csv, Xlsx };

// "lines", "tsv", "csv", "xlsx": the names the tool takes.
QString nameOf(Format format);
std::optional<Format> formatNamed(QStringView name);
QStringList formatNames();
// The format a file's name asks for by its ending; Lines for any other.
Format formatOfFileName(const QString &fileName);

// The header's name of each field, from the preset that rules it (an empty
// name for none): as the ad platform names its fields, numbered where the
// platform numbers them ("Заголовок 1", "Headline 2"); "Поле N" for the rest.
QStringList fieldNames(std::span<const QString> presets);
QStringList fieldNames(int fieldCount);

inline constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// What a file of the format holds before its first row: for a tsv the header
// row, for a csv the byte order mark and the header row; nothing for lines,
// and nothing for a workbook, whose header is a row of its sheet.
std::string preamble(Format format, const QStringList &header);

// Appends the row of fields that a tab-separated text holds as one line of
// comma-separated values: a field with a comma, a quote or a line break
// quoted, its quotes doubled, and the line ended by CR LF; a row of one
// empty field is an empty quoted field.
void appendCsvRow(std::string &out, std::string_view tabSeparated);

} // namespace razmnozhator::tables
