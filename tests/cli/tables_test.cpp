// Variants written as tables: the header, the rows of each format, the
// slices that join into the whole file, and every refusal with its message.

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "inprocess.h"
#include "run.h"

using clitest::Result;
using clitest::runTool;

namespace {

const QByteArray bom = "\xEF\xBB\xBF";
const QString sofa = QStringLiteral("[диван\tКупите диван|кресло\tКупите кресло] в Москве");

} // namespace

class TablesTest : public QObject
{
    Q_OBJECT

private slots:
    void writesRows_data();
    void writesRows();
    void slicesJoinIntoTheWholeFile_data();
    void slicesJoinIntoTheWholeFile();
    void refuses_data();
    void refuses();
    void writesAWorkbook();
    void refusesAWorkbookForATerminal();
};

void TablesTest::writesRows_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("tsv: header, then the variants")
        << QStringList { "--format", "tsv", "-e", sofa }
        << QStringLiteral("Поле 1\tПоле 2\nдиван\tКупите диван в Москве\nкресло\tКупите кресло в Москве\n").toUtf8();
    QTest::newRow("tsv with the names given")
        << QStringList { "--format", "tsv", "--header", "Фраза\tЗаголовок 1", "--max-count", "1", "-e", sofa }
        << QStringLiteral("Фраза\tЗаголовок 1\nдиван\tКупите диван в Москве\n").toUtf8();
    QTest::newRow("csv: byte order mark, quoting, CR LF")
        << QStringList { "--format", "csv", "-e", "[a,b|\"c\"]\t{-|1|2}" }
        << bom + "Поле 1,Поле 2\r\n\"a,b\",1-2\r\n\"a,b\",2-1\r\n\"\"\"c\"\"\",1-2\r\n\"\"\"c\"\"\",2-1\r\n";
    QTest::newRow("csv of a template without tabs")
        << QStringList { "--format", "csv", "-e", "[x|y]" } << bom + "Поле 1\r\nx\r\ny\r\n";
    QTest::newRow("csv within lengths and sampled in order") << QStringList { "--format", "csv", "--sample", "2",
        "--seed", "1", "--in-order", "--min-length", "2", "-e", "[a|bb|cc|dd]\t" }
                                                             << bom + "Поле 1,Поле 2\r\nbb,\r\ndd,\r\n";
    QTest::newRow("tsv of the n-th") << QStringList { "--format", "tsv", "--nth", "2", "-e", sofa }
                                     << QStringLiteral("Поле 1\tПоле 2\nкресло\tКупите кресло в Москве\n").toUtf8();
    QTest::newRow("pairs of two items give any tabs alike")
        << QStringList { "--format", "tsv", "-e", "{ |a\tb|c}" } << QByteArray("Поле 1\tПоле 2\na\tb c\nc a\tb\n");
    QTest::newRow("lines stay the default") << QStringList { "-e", sofa }
                                            << QStringLiteral("диван\tКупите диван в Москве\nкресло\tКупите "
                                                              "кресло в Москве\n")
                                                   .toUtf8();
    QTest::newRow("count is the same in every format")
        << QStringList { "--format", "csv", "--count", "-e", sofa } << QByteArray("2\n");
    QTest::newRow("count in CP1251 whatever the format")
        << QStringList { "--count", "--format", "xlsx", "--encoding", "cp1251", "-e", "[a|b]" } << QByteArray("2\n");
}

void TablesTest::writesRows()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, output);
    const Result result = runTool(arguments);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, output);
}

void TablesTest::slicesJoinIntoTheWholeFile_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("tsv") << "tsv";
    QTest::newRow("csv") << "csv";
}

void TablesTest::slicesJoinIntoTheWholeFile()
{
    QFETCH(QString, format);
    const QStringList common { "--format", format, "-e", "[a|b|c|d|e]\t[1|2|3]" };
    const Result whole = runTool(common);
    QCOMPARE(whole.status, 0);
    QByteArray joined;
    for (int slice = 1; slice <= 4; ++slice) {
        const Result part = runTool(common + QStringList { "--shard", QStringLiteral("%1/4").arg(slice) });
        QCOMPARE(part.status, 0);
        QCOMPARE(part.out.startsWith(bom) || part.out.startsWith("Поле"), slice == 1);
        joined += part.out;
    }
    QCOMPARE(joined, whole.out);
}

void TablesTest::refuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("choices with other numbers of fields")
        << QStringList { "--format", "tsv", "-e", "x\t[a\tb|c]" } << 1
        << QByteArray("razmnozhator-cli: -e:1:3: the choices of this group hold 2 and 1 fields; every row of a table "
                      "needs the same number of fields\n");
    QTest::newRow("pairs of three items with other numbers of fields")
        << QStringList { "--format", "csv", "-e", "ab{-|a\tb|c|d}" } << 1
        << QByteArray("razmnozhator-cli: -e:1:3: the choices of this group hold 2 and 1 fields; every row of a table "
                      "needs the same number of fields\n");
    QTest::newRow("an unclosed group") << QStringList { "--format", "tsv", "-e", "a\t[b" } << 1
                                       << QByteArray("razmnozhator-cli: -e:1:3: Incomplete number of '[]'s\n");
    QTest::newRow("a header of other fields") << QStringList { "--format", "tsv", "--header", "A\tB\tC", "-e",
        sofa } << 2 << QByteArray("razmnozhator-cli: --header names 3 fields, but the template's variants have 2\n");
    QTest::newRow("a table in CP1251") << QStringList { "--format", "csv", "--encoding", "cp1251", "-e", "a" } << 2
                                       << QByteArray("razmnozhator-cli: a table (csv) is written in UTF-8 only; leave "
                                                     "out --encoding cp1251\nTry \"razmnozhator-cli --help\" for more "
                                                     "information.\n");
    QTest::newRow("a table ended by NUL") << QStringList { "-0", "--format", "xlsx", "-e", "a" } << 2
                                          << QByteArray("razmnozhator-cli: a table (xlsx) ends its rows itself; leave "
                                                        "out --null\nTry \"razmnozhator-cli --help\" for more "
                                                        "information.\n");
    QTest::newRow("an unknown format") << QStringList { "--format", "ods", "-e", "a" } << 2
                                       << QByteArray("razmnozhator-cli: unknown format \"ods\" (expected one of "
                                                     "lines, tsv, csv, xlsx)\nTry \"razmnozhator-cli --help\" for "
                                                     "more information.\n");
    QTest::newRow("a header for lines") << QStringList { "--header", "A", "-e", "a" } << 2
                                        << QByteArray("razmnozhator-cli: --header names the columns of a table; give "
                                                      "--format tsv, csv or xlsx too\nTry \"razmnozhator-cli "
                                                      "--help\" for more information.\n");
    QTest::newRow("more rows than a sheet holds")
        << QStringList { "--format", "xlsx", "-e", QStringLiteral("[0|1]").repeated(20) } << 2
        << QByteArray("razmnozhator-cli: an xlsx sheet holds at most 1048576 rows with the header, and 1048577 rows "
                      "were to be written; write fewer with --max-count, or the rows in several workbooks with "
                      "--shard\n");
    QTest::newRow("a cell longer than a sheet holds")
        << QStringList { "--format", "xlsx", "-e", "a\t" + QString(32768, u'я') } << 2
        << QByteArray("razmnozhator-cli: row 1 holds a field of 32768 characters, and an xlsx cell holds at most "
                      "32767; keep shorter rows with --max-length\n");
}

void TablesTest::refuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, error);
    const Result result = runTool(arguments);
    QCOMPARE(result.err, error);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, QByteArray());
}

// The workbook is made whole before it is written: its name's ending chose
// the format, and a sheet's limit leaves an existing file as it was.
void TablesTest::writesAWorkbook()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString fileName = folder.filePath("ads.xlsx");
    const Result written = runTool({ "-o", fileName, "-e", sofa });
    QCOMPARE(written.status, 0);
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray workbook = file.readAll();
    QVERIFY(workbook.startsWith("PK\x03\x04"));
    file.close();

    const Result refused = runTool({ "-o", fileName, "-e", QStringLiteral("[0|1]").repeated(20) });
    QCOMPARE(refused.status, 2);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), workbook);
}

void TablesTest::refusesAWorkbookForATerminal()
{
    razmnozhator::cli::RunEnvironment terminal;
    terminal.outputIsTerminal = true;
    const Result result = runTool({ "--format", "xlsx", "-e", "a" }, {}, terminal);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err,
        QByteArray("razmnozhator-cli: an xlsx workbook is not text for a terminal; write it with -o NAME.xlsx\n"));
    QCOMPARE(result.out, QByteArray());
}

QTEST_GUILESS_MAIN(TablesTest)
#include "tables_test.moc"
