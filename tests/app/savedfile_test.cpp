// The writer of saved files on its own: a workbook whose rows were not
// counted beforehand refuses the row past a sheet's last.

#include <QTest>

#include "savedfile.h"

class SavedFileTest : public QObject
{
    Q_OBJECT

private slots:
    void workbookRefusesTheRowPastTheSheet();
};

void SavedFileTest::workbookRefusesTheRowPastTheSheet()
{
    QByteArray written;
    SavedFileWriter writer(SavedFormat::Xlsx, 2, 0, 3, [&](const char *data, std::size_t size) {
        written.append(data, qsizetype(size));
        return true;
    });
    // A sheet holds the header and 1 048 575 rows.
    for (int row = 1; row < 1048576; ++row) {
        if (!writer.put("a\tb"))
            QFAIL(qPrintable(QStringLiteral("row %1 refused: %2").arg(row).arg(writer.problem())));
    }
    QVERIFY(!writer.put("a\tb"));
    QCOMPARE(writer.problem(),
        QStringLiteral("В лист Excel помещается не более 1 048 576 строк вместе со строкой заголовка, а строк в "
                       "таблице больше. Оставьте меньше строк или сохраните таблицу в CSV или TSV."));
    QVERIFY(!writer.finish());
    // Nothing of the workbook reached the file.
    QVERIFY(written.isEmpty());
}

QTEST_GUILESS_MAIN(SavedFileTest)
#include "savedfile_test.moc"
