// Variants as a table's rows: a row as comma-separated values, the names a
// header gives the fields, the format a file's name asks for, and a
// workbook's cells read back from its sheet.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "tables.h"
#include "xlsxtable.h"

using namespace razmnozhator;
using tables::Format;

Q_DECLARE_METATYPE(Format)

class TablesTest : public QObject
{
    Q_OBJECT

private slots:
    void csvRow_data();
    void csvRow();
    void fieldNames_data();
    void fieldNames();
    void formatOfFileName_data();
    void formatOfFileName();
    void workbookCells();
    void workbookRefusesALongCell();
};

void TablesTest::csvRow_data()
{
    QTest::addColumn<QByteArray>("tabSeparated");
    QTest::addColumn<QByteArray>("row");

    QTest::newRow("one plain field") << QByteArray("abc") << QByteArray("abc\r\n");
    QTest::newRow("tabs become commas") << QByteArray("a\tb\tc") << QByteArray("a,b,c\r\n");
    QTest::newRow("empty fields") << QByteArray("\t\t") << QByteArray(",,\r\n");
    QTest::newRow("one empty field") << QByteArray("") << QByteArray("\"\"\r\n");
    QTest::newRow("a comma is quoted") << QByteArray("a,b\tc") << QByteArray("\"a,b\",c\r\n");
    QTest::newRow("quotes are doubled") << QByteArray("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("a line break is quoted") << QByteArray("a\rb\tc\nd") << QByteArray("\"a\rb\",\"c\nd\"\r\n");
    QTest::newRow("spaces and semicolons stay") << QByteArray(" a; b ") << QByteArray(" a; b \r\n");
    QTest::newRow("Cyrillic stays UTF-8")
        << QStringLiteral("Купите диван\tв Москве").toUtf8() << QStringLiteral("Купите диван,в Москве\r\n").toUtf8();
}

void TablesTest::csvRow()
{
    QFETCH(QByteArray, tabSeparated);
    QFETCH(QByteArray, row);
    std::string out = "kept|";
    tables::appendCsvRow(out, std::string_view(tabSeparated.constData(), std::size_t(tabSeparated.size())));
    QCOMPARE(QByteArray::fromStdString(out), "kept|" + row);
}

void TablesTest::fieldNames_data()
{
    QTest::addColumn<QStringList>("presets");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("no presets") << QStringList { {}, {}, {} } << QStringList { "Поле 1", "Поле 2", "Поле 3" };
    QTest::newRow("Direct's ad") << QStringList { {}, "direct-title", "direct-title", "direct-text" }
                                 << QStringList { "Поле 1", "Заголовок 1", "Заголовок 2", "Текст" };
    QTest::newRow("second title by its own preset")
        << QStringList { "direct-title", "direct-title2" } << QStringList { "Заголовок 1", "Заголовок 2" };
    QTest::newRow("display link") << QStringList { "direct-display-link", "any" }
                                  << QStringList { "Отображаемая ссылка", "Поле 2" };
    QTest::newRow("Google numbers each kind")
        << QStringList { "google-headline", "google-headline", "google-description", "google-path", "google-path" }
        << QStringList { "Headline 1", "Headline 2", "Description 1", "Path 1", "Path 2" };
}

void TablesTest::fieldNames()
{
    QFETCH(QStringList, presets);
    QFETCH(QStringList, names);
    const std::vector<QString> list(presets.begin(), presets.end());
    QCOMPARE(tables::fieldNames(std::span<const QString>(list)), names);
}

void TablesTest::formatOfFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<Format>("format");

    QTest::newRow("tsv") << "ads.tsv" << Format::Tsv;
    QTest::newRow("csv in capitals") << "ADS.CSV" << Format::Csv;
    QTest::newRow("xlsx in a folder") << "out/ads.xlsx" << Format::Xlsx;
    QTest::newRow("text") << "ads.txt" << Format::Lines;
    QTest::newRow("no ending") << "ads" << Format::Lines;
    QTest::newRow("a name that only ends like one") << "ads.xlsx.txt" << Format::Lines;
    QTest::newRow("a file named lines") << "x.lines" << Format::Lines;
    QTest::newRow("standard output") << "" << Format::Lines;
}

void TablesTest::formatOfFileName()
{
    QFETCH(QString, fileName);
    QFETCH(Format, format);
    QCOMPARE(tables::formatOfFileName(fileName), format);
}

// The sheet's XML, read with the unzip tool.
static QByteArray sheetOf(const QString &workbook)
{
    QProcess unzip;
    unzip.start(QStandardPaths::findExecutable("unzip"), { "-p", workbook, "xl/worksheets/sheet1.xml" });
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

void TablesTest::workbookCells()
{
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        QSKIP("the unzip tool that reads the workbook back is not installed");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString fileName = folder.filePath("t.xlsx");
    {
        tables::XlsxTable table(fileName);
        QVERIFY(table.addHeader({ "Фраза", "=A1" }));
        QVERIFY(table.addRow("=1+1\t-50%"));
        QVERIFY(table.addRow(" 3.5\t01.02 "));
        QVERIFY(table.addRow("_x0041_\ta&<b>\x01"));
        QVERIFY(table.close());
    }
    const QByteArray sheet = sheetOf(fileName);
    QVERIFY(!sheet.isEmpty());
    // Every cell is inline text: no formula, number or date.
    QVERIFY(!sheet.contains("<f>"));
    QVERIFY(!sheet.contains("<v>"));
    QCOMPARE(sheet.count("t=\"inlineStr\""), 8);
    const QByteArray expected[]
        = { "<t>Фраза</t>", "<t>=A1</t>", "<t>=1+1</t>", "<t>-50%</t>", "<t xml:space=\"preserve\"> 3.5</t>",
              "<t xml:space=\"preserve\">01.02 </t>", "<t>_x005F_x0041_</t>", "<t>a&amp;&lt;b&gt;_x0001_</t>" };
    for (const QByteArray &cell : expected)
        QVERIFY2(sheet.contains(cell), cell.constData());
}

void TablesTest::workbookRefusesALongCell()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    tables::XlsxTable table(folder.filePath("t.xlsx"));
    QVERIFY(table.addRow(std::string(tables::XlsxTable::maxCellCharacters, 'a')));
    QVERIFY(!table.addRow(std::string(tables::XlsxTable::maxCellCharacters + 1, 'a')));
    QVERIFY(!table.errorString().isEmpty());
}

QTEST_GUILESS_MAIN(TablesTest)
#include "tables_test.moc"
