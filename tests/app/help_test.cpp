// «Как писать шаблоны»: F1 opens the help, its examples go into the template
// editor by one click and generate, and it names what the window offers.

#include <QFile>
#include <QMenu>
#include <QTextBrowser>
#include <QTextDocument>

#include "helptext.h"
#include "lengthrules.h"
#include "windowdriver.h"

class HelpTest : public QObject
{
    Q_OBJECT

private slots:
    void f1OpensTheHelp();
    void examplesGoIntoTheTemplate_data();
    void examplesGoIntoTheTemplate();
    void namesWhatTheWindowOffers_data();
    void namesWhatTheWindowOffers();
};

static QList<razmnozhator::helptext::Block> helpBlocks()
{
    QFile source(QStringLiteral(":/help/templates.txt"));
    if (!source.open(QIODevice::ReadOnly))
        qFatal("the help text is not among the resources");
    return razmnozhator::helptext::parse(QString::fromUtf8(source.readAll()));
}

static QTextBrowser *openHelp(const WindowDriver &driver)
{
    driver.templateEdit()->setFocus();
    QTest::keyClick(driver.templateEdit(), Qt::Key_F1);
    auto *help = driver.window->findChild<QWidget *>(QStringLiteral("helpWindow"));
    if (!help || !help->isVisible())
        return nullptr;
    return help->findChild<QTextBrowser *>(QStringLiteral("helpBrowser"));
}

void HelpTest::f1OpensTheHelp()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    auto *action = driver.child<QAction>("helpAction");
    QCOMPARE(action->text(), QStringLiteral("&Как писать шаблоны"));
    QCOMPARE(driver.child<QMenu>("helpMenu")->actions().indexOf(action), 0);
    QTextBrowser *browser = openHelp(driver);
    QVERIFY(browser);
    QCOMPARE(browser->window()->windowTitle(), QStringLiteral("Как писать шаблоны"));
    const QString shown = browser->toPlainText();
    int sections = 0;
    for (const auto &block : helpBlocks()) {
        if (block.kind == razmnozhator::helptext::Block::Kind::Section) {
            QVERIFY2(shown.contains(block.text), qPrintable(block.text));
            ++sections;
        }
    }
    QVERIFY(sections >= 7);
    // Opened again, the same window comes forward.
    QCOMPARE(openHelp(driver), browser);
    QCOMPARE(driver.window->findChildren<QTextBrowser *>().size(), 1);
}

void HelpTest::examplesGoIntoTheTemplate_data()
{
    QTest::addColumn<int>("example");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("firstLine");

    // What the help says of its examples, in their order.
    const auto row = [](const char *name, int example, int lines, const QString &firstLine) {
        QTest::newRow(name) << example << lines << firstLine;
    };
    row("alternatives", 0, 3, QStringLiteral("Лучшее решение"));
    row("two groups multiply", 1, 4, QStringLiteral("Купите диван сегодня"));
    row("pairs", 2, 6, QStringLiteral("кошки, собаки"));
    row("nested groups", 3, 30, QStringLiteral("Лучшее решение для мелкого и среднего бизнеса."));
    row("empty alternatives", 4, 4, QStringLiteral("Доставка быстро"));
    row("table fields", 5, 4, QStringLiteral("Диван «Лондон»\tДоставка завтра"));
    row("line breaks", 6, 2, QStringLiteral("Лучшее решение для вашего бизнеса."));
    QCOMPARE(razmnozhator::helptext::examples(helpBlocks()).size(), 7);
}

// One click on the link under an example puts it in the editor in place of
// the template, Ctrl+Z takes it back, and the example generates.
void HelpTest::examplesGoIntoTheTemplate()
{
    QFETCH(int, example);
    QFETCH(int, lines);
    QFETCH(QString, firstLine);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    const QString before = driver.templateEdit()->toPlainText();
    QTextBrowser *browser = openHelp(driver);
    QVERIFY(browser);
    const QString text = razmnozhator::helptext::examples(helpBlocks())[example];
    emit browser->anchorClicked(QUrl(QStringLiteral("example:%1").arg(example)));
    QCOMPARE(driver.templateEdit()->toPlainText(), text);
    driver.templateEdit()->undo();
    QCOMPARE(driver.templateEdit()->toPlainText(), before);
    driver.templateEdit()->redo();
    driver.click("generateButton");
    QVERIFY(driver.dialogs->calls.isEmpty());
    QCOMPARE(driver.rowCount(), lines);
    QCOMPARE(driver.listTexts().first(), firstLine);
}

void HelpTest::namesWhatTheWindowOffers_data()
{
    QTest::addColumn<QString>("words");
    // An action whose key the help lists; the words are then the key's.
    QTest::addColumn<QString>("action");

    for (const auto &preset : razmnozhator::lengthrules::presets()) {
        QTest::newRow(preset.name) << razmnozhator::lengthrules::presetTitle(preset) << QString();
        QTest::newRow(qPrintable(QStringLiteral("--preset %1").arg(QLatin1String(preset.name))))
            << QStringLiteral("`%1`").arg(QLatin1String(preset.name)) << QString();
    }
    QTest::newRow("the narrow characters") << QStringLiteral(". , ! : ; \" « »") << QString();
    QTest::newRow("the most narrow characters")
        << QStringLiteral("больше %1").arg(razmnozhator::lengthrules::mostNarrow) << QString();
    for (const char *action : { "helpAction", "saveAction", "copyAction", "exitAction", "aboutAction" })
        QTest::newRow(action) << QString() << QString::fromLatin1(action);
    QTest::newRow("generate from anywhere") << QStringLiteral("* Ctrl+Return :: ") << QString();
}

// The help says what the window and the tool do: their presets, the rule's
// characters and every menu's key, so that a change there cannot leave it behind.
void HelpTest::namesWhatTheWindowOffers()
{
    QFETCH(QString, words);
    QFETCH(QString, action);

    if (!action.isEmpty()) {
        WindowDriver driver;
        const QKeySequence keys = driver.child<QAction>(qPrintable(action))->shortcut();
        words = QStringLiteral("* %1 :: ").arg(keys.toString(QKeySequence::NativeText));
    }
    QFile source(QStringLiteral(":/help/templates.txt"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QVERIFY2(QString::fromUtf8(source.readAll()).contains(words), qPrintable(words));
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
