// Variants as a table's rows: a row as comma-separated values, what a file
// holds before its rows, the names a header gives the fields, the format a
// file's name asks for, the fields too long for a cell, and a workbook's
// cells read back from its sheet.

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "tables.h"
#include "workbookfile.h"
#include "workbooksheet.h"
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
    void preamble_data();
    void preamble();
    void fieldNames_data();
    void fieldNames();
    void formatOfFileName_data();
    void formatOfFileName();
    void workbookCells();
    void workbookRefusesALongCell();
    void fieldTooLongForCell_data();
    void fieldTooLongForCell();
    void workbookFileHandsOnTheWholeWorkbook();
    void workbookFileStopsWhereTheOutputFails();
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

void TablesTest::preamble_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QByteArray>("preamble");

    const QStringList names { "Фраза", "Заголовок 1" };
    QTest::newRow("tsv: the names and a line feed")
        << Format::Tsv << names << QStringLiteral("Фраза\tЗаголовок 1\n").toUtf8();
    QTest::newRow("csv: the byte order mark and a csv row")
        << Format::Csv << names << "\xEF\xBB\xBF" + QStringLiteral("Фраза,Заголовок 1\r\n").toUtf8();
    QTest::newRow("csv quotes a name with a comma")
        << Format::Csv << QStringList { "a,b", "c" } << QByteArray("\xEF\xBB\xBF\"a,b\",c\r\n");
    QTest::newRow("a workbook's header is a row of its sheet") << Format::Xlsx << names << QByteArray();
    QTest::newRow("lines have no header") << Format::Lines << names << QByteArray();
}

void TablesTest::preamble()
{
    QFETCH(Format, format);
    QFETCH(QStringList, header);
    QFETCH(QByteArray, preamble);
    QCOMPARE(QByteArray::fromStdString(tables::preamble(format, header)), preamble);
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
    const QByteArray sheet = testing_support::sheetOf(fileName);
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

void TablesTest::fieldTooLongForCell_data()
{
    QTest::addColumn<QByteArray>("row");
    QTest::addColumn<int>("field"); // -1: every field fits
    QTest::addColumn<int>("characters");

    constexpr int most = int(tables::XlsxTable::maxCellCharacters);
    const QByteArray letters(most, 'a');
    const QByteArray cyrillic = QString(most, u'я').toUtf8();
    QTest::newRow("a short row") << QByteArray("a\tb") << -1 << 0;
    QTest::newRow("a field of the most a cell holds") << letters << -1 << 0;
    QTest::newRow("Cyrillic of the most a cell holds, twice the bytes") << cyrillic << -1 << 0;
    QTest::newRow("long fields that each fit") << cyrillic + '\t' + letters << -1 << 0;
    QTest::newRow("one letter more in the second field") << "x\t" + letters + "a\ty" << 1 << most + 1;
    QTest::newRow("one Cyrillic letter more in the first")
        << cyrillic + QStringLiteral("я").toUtf8() + "\tx" << 0 << most + 1;
    QTest::newRow("the first of two too long") << "\t\t" + letters + "aa\t" + letters + "a" << 2 << most + 2;
}

void TablesTest::fieldTooLongForCell()
{
    QFETCH(QByteArray, row);
    QFETCH(int, field);
    QFETCH(int, characters);
    const std::optional<tables::LongField> found
        = tables::fieldTooLongForCell(std::string_view(row.constData(), std::size_t(row.size())));
    QCOMPARE(found.has_value(), field >= 0);
    if (found) {
        QCOMPARE(found->field, std::size_t(field));
        QCOMPARE(found->characters, std::uint64_t(characters));
    }
}

void TablesTest::workbookFileHandsOnTheWholeWorkbook()
{
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        QSKIP("the unzip tool that reads the workbook back is not installed");
    QByteArray bytes;
    int chunks = 0;
    {
        tables::WorkbookFile workbook(3, 10, 2);
        QVERIFY(workbook.addHeader({ "Поле 1", "Поле 2" }));
        QVERIFY(workbook.addRow("диван\tКупите диван"));
        QVERIFY(workbook.addRow("=1+1\t"));
        QVERIFY(workbook.close());
        QVERIFY(workbook.copyTo([&](const char *data, std::size_t size) {
            bytes.append(data, qsizetype(size));
            ++chunks;
            return true;
        }));
    }
    QVERIFY(chunks >= 1);
    QVERIFY(bytes.startsWith("PK"));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile copy(folder.filePath("copy.xlsx"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    QCOMPARE(copy.write(bytes), bytes.size());
    copy.close();
    const QByteArray sheet = testing_support::sheetOf(copy.fileName());
    QCOMPARE(sheet.count("t=\"inlineStr\""), 5);
    for (const char *cell : { "Поле 1", "Поле 2", "диван", "Купите диван", "=1+1" })
        QVERIFY2(sheet.contains("<t>" + QByteArray(cell) + "</t>"), cell);
}

void TablesTest::workbookFileStopsWhereTheOutputFails()
{
    tables::WorkbookFile workbook(2, 1, 1);
    QVERIFY(workbook.addHeader({ "Поле 1" }));
    QVERIFY(workbook.addRow("a"));
    QVERIFY(workbook.close());
    int offered = 0;
    QVERIFY(!workbook.copyTo([&](const char *, std::size_t) {
        ++offered;
        return false;
    }));
    QCOMPARE(offered, 1);
    QCOMPARE(workbook.failedStep(), tables::WorkbookFile::Step::Output);
    // The reason is the output's own, which the caller knows.
    QVERIFY(workbook.errorString().isEmpty());
}

QTEST_GUILESS_MAIN(TablesTest)
#include "tables_test.moc"
