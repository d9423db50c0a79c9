#pragma once

// A run's variants as the rows of a table: the header that --header names,
// what a slice carries before its rows, and the workbook filled from the
// selection. How each format writes a row, the header and the workbook is
// the codec's, shared with the window.

#include <cstdint>
#include <string>

#include <gmpxx.h>

#include <QStringList>

namespace razmnozhator::cli {

struct Options;
class OutputSink;
class Progress;
class Selection;

// The names of the table's columns: those of --header, or those the fields
// get. Throws Failure when --header names another number of fields than
// the template's variants have.
QStringList tableHeader(const Options &options, std::uint64_t fields);

// What a tsv or csv holds before its first row: the byte order mark and the
// header. A slice but the first holds none, so that the slices joined are
// the whole file.
std::string tablePreamble(const Options &options, const QStringList &header);

// Throws Failure when the rows and the header are more than a sheet holds.
void checkSheetRows(const mpz_class &rows);

// Writes the header and every variant the selection gives (none without
// one) as a workbook, then the workbook to the sink. `rows` is about how
// many it gives, `longest` the most characters a variant holds. Throws Failure for a cell too long for a
// sheet, OutputError when the workbook cannot be made or written.
void writeWorkbook(Selection *selection, const QStringList &header, std::uint64_t rows, std::uint64_t longest,
    OutputSink &sink, Progress &progress);

} // namespace razmnozhator::cli
