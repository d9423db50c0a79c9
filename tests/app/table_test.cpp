// Variants with tabs as a table: a column per field under the names a saved
// table's header gives them, the keys and the accessibility interface on it,
// the table's file types, read back byte for byte or cell by cell, the
// refusals of a workbook too small for the rows, the clipboard's rows, and
// the table kept by the answers to a result too big to hold.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "windowdriver.h"
#include "workbooksheet.h"

using Kind = RecordingDialogs::Kind;

class TableTest : public QObject
{
    Q_OBJECT

private slots:
    void shownAsTableOrLines_data();
    void shownAsTableOrLines();
    void restrictKeepsTheTable();
    void columnHeadersAreAccessible();
    void keysMoveThroughTheTable();
    void savesATable_data();
    void savesATable();
    void savesAWorkbook();
    void refusesWhatASheetCannotHold_data();
    void refusesWhatASheetCannotHold();
    void copiesRowsWithTabs();
    void tooBigForMemoryKeepsTheTable_data();
    void tooBigForMemoryKeepsTheTable();
};

// The table's cells, row by row, each row's fields joined by "|".
static QStringList tableTexts(const WindowDriver &driver)
{
    const QAbstractItemModel *cells = driver.resultTable()->model();
    QStringList rows;
    for (int row = 0; row < cells->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < cells->columnCount(); ++column)
            fields << cells->index(row, column).data().toString();
        rows << fields.join(u'|');
    }
    return rows;
}

static QStringList headerNames(const WindowDriver &driver)
{
    const QAbstractItemModel *cells = driver.resultTable()->model();
    QStringList names;
    for (int column = 0; column < cells->columnCount(); ++column)
        names << cells->headerData(column, Qt::Horizontal).toString();
    return names;
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

static const QString sofaTemplate
    = QStringLiteral("[диван\tКупите диван|кресло\tКупите кресло] в Москве\t[дешево|быстро]");

void TableTest::shownAsTableOrLines_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QStringList>("header"); // empty: shown as lines
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("tabs inside and outside groups")
        << sofaTemplate << QStringList { "Поле 1", "Поле 2", "Поле 3" }
        << QStringList { "диван|Купите диван в Москве|дешево", "диван|Купите диван в Москве|быстро",
               "кресло|Купите кресло в Москве|дешево", "кресло|Купите кресло в Москве|быстро" };
    QTest::newRow("a tab outside every group")
        << "[a|b]\tc" << QStringList { "Поле 1", "Поле 2" } << QStringList { "a|c", "b|c" };
    QTest::newRow("empty fields") << "\t[|x]\t" << QStringList { "Поле 1", "Поле 2", "Поле 3" }
                                  << QStringList { "||", "|x|" };
    QTest::newRow("a tab in the pairs' separator")
        << "{\t|a|b}" << QStringList { "Поле 1", "Поле 2" } << QStringList { "a|b", "b|a" };
    QTest::newRow("no tabs: lines") << "[a|b]" << QStringList() << QStringList();
    QTest::newRow("different numbers of fields: lines") << "[a\tb|c]" << QStringList() << QStringList();
}

void TableTest::shownAsTableOrLines()
{
    QFETCH(QString, templateText);
    QFETCH(QStringList, header);
    QFETCH(QStringList, rows);

    WindowDriver driver;
    driver.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(driver.window.get()));
    driver.generate(templateText);
    const bool table = !header.isEmpty();
    QCOMPARE(driver.resultTable()->isVisible(), table);
    QCOMPARE(driver.resultList()->isVisible(), !table);
    QCOMPARE(headerNames(driver), header);
    QCOMPARE(tableTexts(driver), rows);
    // The list keeps every line either way, and the count is the lines'.
    QCOMPARE(driver.rowCount(), table ? int(rows.size()) : 2);
    QCOMPARE(driver.statusText(), countMessage(driver.rowCount()));
    QVERIFY(driver.dialogs->calls.isEmpty());

    // A template without tabs after a table shows its lines in the list again.
    driver.generate("[p|q|r]");
    QVERIFY(driver.resultList()->isVisible());
    QVERIFY(!driver.resultTable()->isVisible());
    QCOMPARE(driver.resultTable()->model()->rowCount(), 0);
    QCOMPARE(driver.listTexts(), QStringList({ "p", "q", "r" }));
}

void TableTest::restrictKeepsTheTable()
{
    WindowDriver driver;
    driver.generate(sofaTemplate);
    driver.restrict("35", "200", "10", false);
    QCOMPARE(tableTexts(driver),
        QStringList({ "кресло|Купите кресло в Москве|дешево", "кресло|Купите кресло в Москве|быстро" }));
    QCOMPARE(headerNames(driver), QStringList({ "Поле 1", "Поле 2", "Поле 3" }));
}

void TableTest::columnHeadersAreAccessible()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate(sofaTemplate);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(driver.resultTable());
    QVERIFY(table);
    QCOMPARE(table->role(), QAccessible::Table);
    QAccessibleTableInterface *cells = table->tableInterface();
    QVERIFY(cells);
    QCOMPARE(cells->columnCount(), 3);
    QCOMPARE(cells->rowCount(), 4);
    QStringList described;
    for (int column = 0; column < cells->columnCount(); ++column)
        described << cells->columnDescription(column);
    QCOMPARE(described, QStringList({ "Поле 1", "Поле 2", "Поле 3" }));
    // A screen reader walking the children meets the headers as such.
    QStringList headers;
    for (int child = 0; child < table->childCount(); ++child) {
        QAccessibleInterface *item = table->child(child);
        if (item && item->role() == QAccessible::ColumnHeader)
            headers << item->text(QAccessible::Name);
    }
    QCOMPARE(headers, QStringList({ "Поле 1", "Поле 2", "Поле 3" }));
    QAccessibleInterface *cell = cells->cellAt(1, 1);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("Купите диван в Москве"));
}

void TableTest::keysMoveThroughTheTable()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate(sofaTemplate);
    QTableView *table = driver.resultTable();
    // Tab from the restrict button reaches the table, as it reached the list.
    driver.child<QPushButton>("restrictButton")->setFocus();
    QTRY_VERIFY(driver.child<QPushButton>("restrictButton")->hasFocus());
    for (int press = 0; press < 5 && QApplication::focusWidget() != table; ++press)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), table);
    table->setCurrentIndex(table->model()->index(0, 0));
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Right);
    QCOMPARE(table->currentIndex().row(), 2);
    QCOMPARE(table->currentIndex().column(), 1);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 4, Длина текущей строки: 36"));
    QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(table->currentIndex().row(), 3);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 4, Длина текущей строки: 36"));
    QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(driver.statusText(), QStringLiteral("Строк: 4, Длина текущей строки: 34"));
    // The list had the focus: the table takes it over when it replaces the list.
    driver.generate("[a|b]");
    driver.resultList()->setFocus();
    QTRY_VERIFY(driver.resultList()->hasFocus());
    driver.generate(sofaTemplate);
    QTRY_VERIFY(table->hasFocus());
}

void TableTest::savesATable_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("fileType"); // empty: the first one
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray bom = "\xEF\xBB\xBF";
    const QByteArray sofas
        = QStringLiteral("диван\tКупите диван в Москве\tдешево\nдиван\tКупите диван в Москве\tбыстро\n"
                         "кресло\tКупите кресло в Москве\tдешево\nкресло\tКупите кресло в Москве\tбыстро\n")
              .toUtf8();
    QTest::newRow("tsv: a header, then the rows in UTF-8")
        << sofaTemplate << "Текст с табуляцией, UTF-8 (*.tsv)"
        << "ads.tsv" << QStringLiteral("Поле 1\tПоле 2\tПоле 3\n").toUtf8() + sofas;
    QTest::newRow("csv: a byte order mark, a header, the rows") << sofaTemplate << "CSV (*.csv)"
                                                                << "ads.csv"
                                                                << bom
            + QStringLiteral("Поле 1,Поле 2,Поле 3\r\nдиван,Купите диван в Москве,дешево\r\n"
                             "диван,Купите диван в Москве,быстро\r\nкресло,Купите кресло в Москве,дешево\r\n"
                             "кресло,Купите кресло в Москве,быстро\r\n")
                  .toUtf8();
    QTest::newRow("csv quotes commas and quotes")
        << "[a,b|\"c\"]\td"
        << "CSV (*.csv)"
        << "q.csv" << bom + "Поле 1,Поле 2\r\n\"a,b\",d\r\n\"\"\"c\"\"\",d\r\n";
    QTest::newRow("a table's type whatever the name's ending")
        << "a\tb"
        << "Текст с табуляцией, UTF-8 (*.tsv)"
        << "ads.txt" << QStringLiteral("Поле 1\tПоле 2\na\tb\n").toUtf8();
    QTest::newRow("the name's ending under a text type")
        << "a\t№"
        << ""
        << "ads.CSV" << bom + QStringLiteral("Поле 1,Поле 2\r\na,№\r\n").toUtf8();
    QTest::newRow("a table as CP1251 lines") << "a\t№"
                                             << "Text Files (*.txt)"
                                             << "ads.txt" << QByteArray("a\t\xB9\n");
    QTest::newRow("a table as UTF-8 lines") << "a\t№"
                                            << "All Files, UTF-8 (*)"
                                            << "ads" << QStringLiteral("a\t№\n").toUtf8();
    QTest::newRow("no tabs: the name's ending chooses nothing") << "[a|b]"
                                                                << ""
                                                                << "ads.csv" << QByteArray("a\nb\n");
}

void TableTest::savesATable()
{
    QFETCH(QString, templateText);
    QFETCH(QString, fileType);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WindowDriver driver;
    driver.generate(templateText);
    driver.dialogs->savePaths.enqueue(dir.filePath(fileName));
    if (!fileType.isEmpty())
        driver.dialogs->saveFilters.enqueue(fileType);
    driver.trigger("saveAction");
    const auto asked = driver.dialogs->callsOf(Kind::SavePath);
    QCOMPARE(driver.dialogs->calls.size(), 1);
    const QString textTypes
        = QStringLiteral("All Files (*);;Text Files (*.txt);;All Files, UTF-8 (*);;Text Files, UTF-8 (*.txt)");
    QCOMPARE(asked.first().text,
        templateText.contains(u'\t')
            ? textTypes + ";;Таблица Excel (*.xlsx);;CSV (*.csv);;Текст с табуляцией, UTF-8 (*.tsv)"
            : textTypes);
    QCOMPARE(readFile(dir.filePath(fileName)), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { fileName });
}

void TableTest::savesAWorkbook()
{
    if (QStandardPaths::findExecutable("unzip").isEmpty())
        QSKIP("the unzip tool that reads the workbook back is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WindowDriver driver;
    driver.generate(QStringLiteral("[=1+1|-50%]\t[01.02|3.5]\tКупите «диван»"));
    driver.dialogs->savePaths.enqueue(dir.filePath("ads.xlsx"));
    driver.dialogs->saveFilters.enqueue(QStringLiteral("Таблица Excel (*.xlsx)"));
    driver.click("saveButton");
    QCOMPARE(driver.dialogs->calls.size(), 1);
    const QByteArray sheet = testing_support::sheetOf(dir.filePath("ads.xlsx"));
    QVERIFY(!sheet.isEmpty());
    // Five rows of three cells, every one of them text.
    QCOMPARE(sheet.count("<row "), 5);
    QCOMPARE(sheet.count("t=\"inlineStr\""), 15);
    QVERIFY(!sheet.contains("<f>"));
    QVERIFY(!sheet.contains("<v>"));
    const QStringList cells { "Поле 1", "Поле 2", "Поле 3", "=1+1", "-50%", "01.02", "3.5", "Купите «диван»" };
    for (const QString &cell : cells)
        QVERIFY2(sheet.contains("<t>" + cell.toUtf8() + "</t>"), qPrintable(cell));
    QCOMPARE(sheet.count(QStringLiteral("<t>Купите «диван»</t>").toUtf8()), 4);
}

void TableTest::refusesWhatASheetCannotHold_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("message");

    QTest::newRow("a row more than a sheet holds")
        << QStringLiteral("[0|1]").repeated(20) + "\tx"
        << QStringLiteral("В лист Excel помещается не более 1 048 576 строк вместе со строкой заголовка, а таблица "
                          "займёт 1 048 577. Оставьте меньше строк или сохраните таблицу в CSV или TSV.");
    QTest::newRow("a field longer than a cell holds")
        << "[a|b]\t" + QString(32768, u'я')
        << QStringLiteral("Поле «Поле 2» в строке 1 не помещается в ячейку Excel: в ячейку помещается не более "
                          "32 767 символов, а в поле их 32 768. Оставьте строки короче или сохраните таблицу в CSV "
                          "или TSV.");
}

void TableTest::refusesWhatASheetCannotHold()
{
    QFETCH(QString, templateText);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("ads.xlsx");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old workbook");
    old.close();
    WindowDriver driver;
    driver.generate(templateText);
    driver.dialogs->savePaths.enqueue(path);
    driver.dialogs->saveFilters.enqueue(QStringLiteral("Таблица Excel (*.xlsx)"));
    driver.click("saveButton");
    const auto errors = driver.dialogs->callsOf(Kind::Error);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().title, QStringLiteral("Error!"));
    QCOMPARE(errors.first().text, message);
    QCOMPARE(readFile(path), QByteArray("old workbook"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "ads.xlsx" });
}

void TableTest::copiesRowsWithTabs()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    driver.generate(sofaTemplate);
    const QString rows
        = QStringLiteral("диван\tКупите диван в Москве\tдешево\nдиван\tКупите диван в Москве\tбыстро\n"
                         "кресло\tКупите кресло в Москве\tдешево\nкресло\tКупите кресло в Москве\tбыстро\n");
    driver.click("clipboardButton");
    QCOMPARE(QGuiApplication::clipboard()->text(), rows);
    // Ctrl+C in the table copies every row too, not the current cell alone.
    QGuiApplication::clipboard()->clear();
    QTableView *table = driver.resultTable();
    table->setFocus();
    table->setCurrentIndex(table->model()->index(1, 1));
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), rows);
}

using Answer = Dialogs::TooBigAnswer;

void TableTest::tooBigForMemoryKeepsTheTable_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QByteArray>("saved"); // empty: nothing saved

    const QByteArray rows
        = QStringLiteral("кресло\tКупите кресло в Москве\tдешево\nкресло\tКупите кресло в Москве\tбыстро\n").toUtf8();
    QTest::newRow("random lines") << Answer::RandomLines << QString() << QByteArray();
    QTest::newRow("every row saved as tsv") << Answer::SaveAll << "Текст с табуляцией, UTF-8 (*.tsv)"
                                            << QStringLiteral("Поле 1\tПоле 2\tПоле 3\n").toUtf8() + rows;
}

void TableTest::tooBigForMemoryKeepsTheTable()
{
    QFETCH(Answer, answer);
    QFETCH(QString, fileType);
    QFETCH(QByteArray, saved);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WindowDriver driver;
    driver.window->setMemorySource([] { return std::uint64_t(0); });
    // Lines of 34 and 36 characters: the sofas' are too short.
    driver.minLengthEdit()->setText("35");
    driver.shuffleBox()->setChecked(false);
    driver.dialogs->tooBigAnswers.enqueue(answer);
    driver.dialogs->savePaths.enqueue(dir.filePath("ads"));
    driver.dialogs->saveFilters.enqueue(fileType);
    driver.generate(sofaTemplate);
    QCOMPARE(driver.dialogs->callsOf(Kind::TooBig).size(), 1);
    if (answer == Answer::RandomLines) {
        QCOMPARE(headerNames(driver), QStringList({ "Поле 1", "Поле 2", "Поле 3" }));
        QCOMPARE(tableTexts(driver),
            QStringList({ "кресло|Купите кресло в Москве|дешево", "кресло|Купите кресло в Москве|быстро" }));
        return;
    }
    QCOMPARE(driver.dialogs->callsOf(Kind::SavePath).size(), 1);
    QVERIFY(driver.dialogs->callsOf(Kind::SavePath).first().text.endsWith("Текст с табуляцией, UTF-8 (*.tsv)"));
    QCOMPARE(readFile(dir.filePath("ads")), saved);
}

QTEST_MAIN(TableTest)
#include "table_test.moc"
