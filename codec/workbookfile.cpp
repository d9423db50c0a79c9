#include "workbookfile.h"

#include <QFile>
#include <QTemporaryDir>

#include "xlsxtable.h"

namespace razmnozhator::tables {

WorkbookFile::WorkbookFile(std::uint64_t rows, std::uint64_t longest, int columns)
    : folder_(std::make_unique<QTemporaryDir>())
{
    if (!folder_->isValid()) {
        fail(Step::Folder, folder_->errorString());
        return;
    }
    // A row of XML takes about a dozen bytes a cell besides its text, and a
    // character up to four bytes; a quarter is left for the estimate's error.
    const double estimate = double(rows) * (double(longest) * 4 + 32.0 * columns);
    table_ = std::make_unique<XlsxTable>(
        folder_->filePath(QStringLiteral("table.xlsx")), estimate > double(std::uint64_t(1) << 32) * 0.75);
}

WorkbookFile::~WorkbookFile() = default;

bool WorkbookFile::addHeader(const QStringList &names)
{
    return table_ && (table_->addHeader(names) || fail(Step::Sheet, table_->errorString()));
}

bool WorkbookFile::addRow(std::string_view tabSeparated)
{
    return table_ && (table_->addRow(tabSeparated) || fail(Step::Sheet, table_->errorString()));
}

bool WorkbookFile::close()
{
    return table_ && (table_->close() || fail(Step::Sheet, table_->errorString()));
}

bool WorkbookFile::copyTo(const std::function<bool(const char *, std::size_t)> &write)
{
    if (!table_)
        return false;
    QFile file(folder_->filePath(QStringLiteral("table.xlsx")));
    if (!file.open(QIODevice::ReadOnly))
        return fail(Step::Reading, file.errorString());
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(chunk.data(), chunk.size());
        if (read < 0)
            return fail(Step::Reading, file.errorString());
        if (read == 0)
            return true;
        if (!write(chunk.constData(), static_cast<std::size_t>(read)))
            return fail(Step::Output, QString());
    }
}

bool WorkbookFile::fail(Step step, const QString &reason)
{
    // The first failure is the one to tell; later steps fail for it.
    if (!failed_) {
        failed_ = true;
        step_ = step;
        error_ = reason;
    }
    return false;
}

} // namespace razmnozhator::tables
