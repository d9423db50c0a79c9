#pragma once

// A workbook's one sheet as its XML, read with the unzip tool, so that the
// cells written are checked by a reader other than the one that wrote them.

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace testing_support {

// Empty when the tool is missing or the workbook cannot be read.
inline QByteArray sheetOf(const QString &workbook)
{
    QProcess unzip;
    unzip.start(QStandardPaths::findExecutable("unzip"), { "-p", workbook, "xl/worksheets/sheet1.xml" });
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

} // namespace testing_support
