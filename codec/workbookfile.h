#pragma once

// A table's workbook made whole in a folder of its own before it is handed
// on, a chunk at a time, to where it goes: a zip file is finished only once
// its last row is in, so a refusal or a failure part way leaves nothing
// half-written there. Shared by the window's save and the command-line tool.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include <QString>
#include <QStringList>

class QTemporaryDir;

namespace razmnozhator::tables {

class XlsxTable;

class WorkbookFile
{
public:
    // Where a workbook failed: making its folder, writing it, reading it
    // back, or handing it on.
    enum class Step { Folder, Sheet, Reading, Output };

    // rows: about how many rows the sheet gets, the header's among them;
    // longest: the most bytes a row holds. Past 4 GiB a workbook needs the
    // larger form of zip file, chosen from these.
    WorkbookFile(std::uint64_t rows, std::uint64_t longest, int columns);
    ~WorkbookFile();
    WorkbookFile(const WorkbookFile &) = delete;
    WorkbookFile &operator=(const WorkbookFile &) = delete;

    // Each returns false on failure, with the step in failedStep() and the
    // reason in errorString().
    bool addHeader(const QStringList &names);
    // A UTF-8 text whose tabs separate the row's fields.
    bool addRow(std::string_view tabSeparated);
    // Finishes the workbook.
    bool close();
    // Hands the finished workbook to write, which returns false when it
    // cannot take a chunk; then the step is Output and the reason is write's.
    bool copyTo(const std::function<bool(const char *, std::size_t)> &write);

    Step failedStep() const { return step_; }
    QString errorString() const { return error_; }

private:
    bool fail(Step step, const QString &reason);

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<XlsxTable> table_;
    bool failed_ = false;
    Step step_ = Step::Folder;
    QString error_;
};

} // namespace razmnozhator::tables
