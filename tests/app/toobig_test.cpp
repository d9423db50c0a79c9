// A result too big for memory: the question and what each of its answers does.

#include <algorithm>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "razmnozhator/engine.h"
#include "refusals.h"
#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;
using Answer = Dialogs::TooBigAnswer;

class TooBigTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void asksWithTheFigures();
    void questionAgreesWithItsNumbers_data();
    void questionAgreesWithItsNumbers();
    void streamedSaveCountsTheKeptLines();
    void saysWhyNoLineFits();
    void countsByTheChosenRule_data();
    void countsByTheChosenRule();
    void saysWhenTheRuleKeepsNone();
    void answers_data();
    void answers();
    void randomLines_data();
    void randomLines();
    void randomLinesDrawAnewEachTime();
    void mostDifferentLines();
    void refusalInRussian();
    void refusalWords_data();
    void refusalWords();
};

// Six variants of 2 to 5 characters; the length fields 3 to 4 keep four.
static const QString smallTemplate = QStringLiteral("[a|bb|ccc][x|yy]");

// A window where nothing fits, with "[p|q]" generated before.
static void prepare(WindowDriver &driver)
{
    driver.generate(QStringLiteral("[p|q]"));
    driver.window->setMemorySource([] { return std::uint64_t(100); });
    driver.minLengthEdit()->setText(QStringLiteral("3"));
    driver.maxLengthEdit()->setText(QStringLiteral("4"));
    driver.maxCountEdit()->setText(QStringLiteral("2"));
    driver.dialogs->calls.clear();
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TooBigTest::asksWithTheFigures()
{
    WindowDriver driver;
    prepare(driver);
    driver.generate(smallTemplate);

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    QCOMPARE(box.kind, Kind::TooBig);
    QCOMPARE(box.parent, driver.window.get());
    QCOMPARE(box.title, QStringLiteral("Размножатор v1.0b"));
    QCOMPARE(box.text,
        QStringLiteral("Шаблон даёт 6 строк, из них длиной от 3 до 4 символов: 4. Чтобы держать все строки, "
                       "нужно около 117 Б памяти, столько свободной памяти нет.\n\n"
                       "Можно взять не более 2 случайных строк длиной от 3 до 4 символов "
                       "или сохранить все строки такой длины сразу в файл."));
}

void TooBigTest::questionAgreesWithItsNumbers_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<QString>("maxCount");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const QString &templateText, const char *maxLength, const char *maxCount,
                         const char16_t *given, const char16_t *rest) {
        QTest::newRow(name) << templateText << QString::fromLatin1(maxLength) << QString::fromLatin1(maxCount)
                            << QString::fromUtf16(given) + QStringLiteral(" памяти, столько свободной памяти нет.\n\n")
                + QString::fromUtf16(rest);
    };
    row("2^100 lines up to 201, a million", QStringLiteral("[a|b]").repeated(100) + u' ' + QString(100, u'x'), "201",
        "1000000",
        u"Шаблон даёт ≈ 1,27·10³⁰ строк, из них длиной от 10 до 201 символа: ≈ 1,27·10³⁰. Чтобы держать все строки, "
        u"нужно около 2,39·10¹⁴ ЭиБ",
        u"Можно взять не более 1 000 000 случайных строк длиной от 10 до 201 символа или сохранить все строки такой "
        u"длины сразу в файл.");
    row("one line, one random line", QStringLiteral("abcdefghijkl"), "200", "1",
        u"Шаблон даёт 1 строку, из них длиной от 10 до 200 символов: 1. Чтобы держать все строки, нужно около 28 Б",
        u"Можно взять не более 1 случайной строки длиной от 10 до 200 символов или сохранить все строки такой длины "
        u"сразу в файл.");
    row("two lines, two random lines", QStringLiteral("abcdefghijk[l|m]"), "21", "2",
        u"Шаблон даёт 2 строки, из них длиной от 10 до 21 символа: 2. Чтобы держать все строки, нужно около 56 Б",
        u"Можно взять не более 2 случайных строк длиной от 10 до 21 символа или сохранить все строки такой длины "
        u"сразу в файл.");
    row("21 lines, 21 random lines, eleven", QStringLiteral("abcdefghi[a|b|c][d|e|f|g|h|i|j]"), "11", "21",
        u"Шаблон даёт 21 строку, из них длиной от 10 до 11 символов: 21. Чтобы держать все строки, нужно около 567 Б",
        u"Можно взять не более 21 случайной строки длиной от 10 до 11 символов или сохранить все строки такой длины "
        u"сразу в файл.");
    row("five, eleven and 2500", QStringLiteral("abcdefghi[a|b|c|d|e]"), "2500", "11",
        u"Шаблон даёт 5 строк, из них длиной от 10 до 2500 символов: 5. Чтобы держать все строки, нужно около 130 Б",
        u"Можно взять не более 11 случайных строк длиной от 10 до 2500 символов или сохранить все строки такой "
        u"длины сразу в файл.");
}

// Every count agrees with its noun, and every number is in the window's style.
void TooBigTest::questionAgreesWithItsNumbers()
{
    QFETCH(QString, templateText);
    QFETCH(QString, maxLength);
    QFETCH(QString, maxCount);
    QFETCH(QString, text);

    WindowDriver driver;
    driver.window->setMemorySource([] { return std::uint64_t(0); });
    driver.minLengthEdit()->setText(QStringLiteral("10"));
    driver.maxLengthEdit()->setText(maxLength);
    driver.maxCountEdit()->setText(maxCount);
    driver.generate(templateText);

    const auto questions = driver.dialogs->callsOf(Kind::TooBig);
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().text, text);
}

// The progress counts the lines written of those within the lengths, not the
// variants passed over, and its total is theirs, however big.
void TooBigTest::streamedSaveCountsTheKeptLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    WindowDriver driver;
    prepare(driver);
    driver.dialogs->tooBigAnswers.enqueue(Answer::SaveAll);
    driver.dialogs->savePaths.enqueue(path);
    driver.generate(smallTemplate);

    QCOMPARE(readFile(path), QByteArray("ayy\nbbx\nbbyy\ncccx\n"));
    QCOMPARE(driver.dialogs->lastProgress.done, std::uint64_t(4));
    QCOMPARE(QString::fromStdString(driver.dialogs->lastProgress.total.get_str()), QStringLiteral("4"));
}

void TooBigTest::saysWhyNoLineFits()
{
    WindowDriver driver;
    prepare(driver);
    driver.window->setMemorySource([] { return std::uint64_t(0); });
    driver.generate(QStringLiteral("[%1|%2]").arg(QString(216, u'a'), QString(328, u'b')));

    QCOMPARE(driver.dialogs->calls.size(), 1);
    const RecordingDialogs::Call box = driver.dialogs->calls.first();
    QCOMPARE(box.kind, Kind::Information);
    QCOMPARE(box.text,
        QStringLiteral("Ни одна строка не подходит по длине 3–4: строки этого шаблона длиной от 216 до 328 символов."));
    QCOMPARE(driver.listTexts(), QStringList({ "p", "q" }));
    QCOMPARE(driver.statusText(), countMessage(2));
}

void TooBigTest::countsByTheChosenRule_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QString>("needed");
    QTest::addColumn<QByteArray>("file");

    // By Direct's rule 2, 3, 3, 4, 4 and 5 long: the fields 3 to 4 keep the middle four.
    QTest::newRow("Windows-1251") << QStringLiteral("[a.|bb,|ccc!][x|yy]") << QString() << QStringLiteral("123 Б")
                                  << QByteArray("a.yy\nbb,x\nbb,yy\nccc!x\n");
    QTest::newRow("UTF-8") << QStringLiteral("[«а»|бб,|ввв!][x|yy]") << QStringLiteral("Text Files, UTF-8 (*.txt)")
                           << QStringLiteral("125 Б")
                           << QByteArray("\xC2\xAB\xD0\xB0\xC2\xBByy\n\xD0\xB1\xD0\xB1,x\n\xD0\xB1\xD0\xB1,yy\n"
                                         "\xD0\xB2\xD0\xB2\xD0\xB2!x\n");
}

void TooBigTest::countsByTheChosenRule()
{
    QFETCH(QString, templateText);
    QFETCH(QString, fileType);
    QFETCH(QString, needed);
    QFETCH(QByteArray, file);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    WindowDriver driver;
    prepare(driver);
    driver.trigger("lengthRule_direct");
    driver.dialogs->tooBigAnswers.enqueue(Answer::SaveAll);
    driver.dialogs->savePaths.enqueue(path);
    if (!fileType.isEmpty())
        driver.dialogs->saveFilters.enqueue(fileType);
    driver.generate(templateText);

    const auto questions = driver.dialogs->callsOf(Kind::TooBig);
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().text,
        QStringLiteral("Шаблон даёт 6 строк, из них длиной от 3 до 4 символов по правилам Директа: 4. Чтобы держать "
                       "все строки, нужно около %1 памяти, столько свободной памяти нет.\n\n"
                       "Можно взять не более 2 случайных строк длиной от 3 до 4 символов по правилам Директа "
                       "или сохранить все строки такой длины сразу в файл.")
            .arg(needed));
    QCOMPARE(readFile(path), file);
    QCOMPARE(QString::fromStdString(driver.dialogs->lastProgress.total.get_str()), QStringLiteral("4"));
}

void TooBigTest::saysWhenTheRuleKeepsNone()
{
    WindowDriver driver;
    prepare(driver);
    driver.trigger("preset_direct-text");
    driver.window->setMemorySource([] { return std::uint64_t(0); });
    driver.generate(QStringLiteral("[!!!!!!!!!!!!!!!!|«.«.«.«.«.«.«.«.]"));

    QCOMPARE(driver.dialogs->calls.size(), 1);
    QCOMPARE(driver.dialogs->calls.first().kind, Kind::Information);
    QCOMPARE(driver.dialogs->calls.first().text,
        QStringLiteral("Ни одна строка не подходит по правилам Директа: в каждой строке больше 15 узких символов."));
    QCOMPARE(driver.listTexts(), QStringList({ "p", "q" }));
}

void TooBigTest::answers_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("choosesFile");
    QTest::addColumn<bool>("cancelProgress");
    QTest::addColumn<QByteArray>("file");

    const QByteArray old = "old\n";
    QTest::newRow("cancel") << Answer::Cancel << false << false << old;
    QTest::newRow("save all, the kept lengths in order")
        << Answer::SaveAll << true << false << QByteArray("ayy\nbbx\nbbyy\ncccx\n");
    QTest::newRow("save all, file dialog cancelled") << Answer::SaveAll << false << false << old;
    QTest::newRow("save all, progress cancelled") << Answer::SaveAll << true << true << old;
}

void TooBigTest::answers()
{
    QFETCH(Answer, answer);
    QFETCH(bool, choosesFile);
    QFETCH(bool, cancelProgress);
    QFETCH(QByteArray, file);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
    old.close();

    WindowDriver driver;
    prepare(driver);
    driver.dialogs->tooBigAnswers.enqueue(answer);
    if (choosesFile)
        driver.dialogs->savePaths.enqueue(path);
    driver.dialogs->cancelProgress = cancelProgress;
    driver.generate(smallTemplate);

    QCOMPARE(readFile(path), file);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "all.txt" });
    // The lines stay as they were, whatever the answer.
    QCOMPARE(driver.listTexts(), QStringList({ "p", "q" }));
    QCOMPARE(driver.statusText(), countMessage(2));
    QVERIFY(driver.dialogs->callsOf(Kind::Error).isEmpty());
}

void TooBigTest::randomLines_data()
{
    QTest::addColumn<bool>("shuffle");
    QTest::addColumn<QString>("maxCount");
    QTest::addColumn<int>("expectedCount");

    QTest::newRow("two, in template order") << false << "2" << 2;
    QTest::newRow("two, shuffled") << true << "2" << 2;
    QTest::newRow("more asked than kept") << true << "100" << 4;
}

void TooBigTest::randomLines()
{
    QFETCH(bool, shuffle);
    QFETCH(QString, maxCount);
    QFETCH(int, expectedCount);

    const QStringList kept { "ayy", "bbx", "bbyy", "cccx" };
    WindowDriver driver;
    prepare(driver);
    driver.maxCountEdit()->setText(maxCount);
    driver.shuffleBox()->setChecked(shuffle);
    driver.dialogs->tooBigAnswers.enqueue(Answer::RandomLines);
    driver.generate(smallTemplate);

    const QStringList taken = driver.listTexts();
    QCOMPARE(taken.size(), expectedCount);
    QCOMPARE(QSet<QString>(taken.begin(), taken.end()).size(), expectedCount);
    for (const QString &line : taken)
        QVERIFY2(kept.contains(line), qPrintable(line));
    if (!shuffle) {
        QStringList inOrder = taken;
        std::sort(inOrder.begin(), inOrder.end(),
            [&](const QString &a, const QString &b) { return kept.indexOf(a) < kept.indexOf(b); });
        QCOMPARE(taken, inOrder);
    }
    QCOMPARE(driver.statusText(), countMessage(expectedCount));
    // The other commands take them as the current lines.
    QGuiApplication::clipboard()->clear();
    driver.click("clipboardButton");
    QCOMPARE(QGuiApplication::clipboard()->text(), taken.join(u'\n') + u'\n');
    driver.restrict("4", "4", "10", false);
    // When none of them is 4 long, the list stays as it was and the window says why.
    const auto fourLong = taken.count(QStringLiteral("bbyy")) + taken.count(QStringLiteral("cccx"));
    QCOMPARE(driver.listTexts().size(), fourLong == 0 ? taken.size() : fourLong);
}

void TooBigTest::randomLinesDrawAnewEachTime()
{
    WindowDriver driver;
    prepare(driver);
    driver.maxCountEdit()->setText(QStringLiteral("1"));
    QSet<QString> seen;
    // One of four each time: twenty equal draws happen once in 2^38 runs.
    for (int press = 0; press < 20; ++press) {
        driver.dialogs->tooBigAnswers.enqueue(Answer::RandomLines);
        driver.generate(smallTemplate);
        QCOMPARE(driver.listTexts().size(), 1);
        seen.insert(driver.listTexts().first());
    }
    QVERIFY(seen.size() > 1);
}

// Random lines of a template whose indexes exceed the engine's budget: the
// box says why in the window's language, not in the engine's English.
void TooBigTest::refusalInRussian()
{
    WindowDriver driver;
    prepare(driver);
    driver.minLengthEdit()->setText(QStringLiteral("1"));
    driver.dialogs->tooBigAnswers.enqueue(Answer::RandomLines);
    driver.generate(QStringLiteral("{").repeated(100000) + u'x' + QStringLiteral("}").repeated(100000));
    const auto errors = driver.dialogs->callsOf(Kind::Error);
    QCOMPARE(errors.size(), 1);
    const QString &text = errors.first().text;
    QVERIFY2(
        text.startsWith(QStringLiteral("Случайные строки этого шаблона выбрать не удалось: для ")), qPrintable(text));
    QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(text));
}

void TooBigTest::refusalWords_data()
{
    using razmnozhator::LimitError;
    QTest::addColumn<int>("task");
    QTest::addColumn<int>("resource");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, LimitError::Task task, LimitError::Resource resource, const char16_t *text) {
        QTest::newRow(name) << int(task) << int(resource) << QString::fromUtf16(text);
    };
    row("memory of random access", LimitError::Task::PositionIndex, LimitError::Resource::Memory,
        u"для поиска строк по номеру нужно около 3,00 ГиБ памяти, а можно не более 1,00 ГиБ");
    row("memory of counting by length", LimitError::Task::LengthCounts, LimitError::Resource::Memory,
        u"для подсчёта строк по длине нужно около 3,00 ГиБ памяти, а можно не более 1,00 ГиБ");
    row("time of choosing by length", LimitError::Task::LengthChoice, LimitError::Resource::Work,
        u"для выбора строк по длине нужно слишком много времени");
    row("memory of the candidates' words", LimitError::Task::DiversePool, LimitError::Resource::Memory,
        u"для сравнения слов строк-кандидатов нужно около 3,00 ГиБ памяти, а можно не более 1,00 ГиБ");
    row("time of an unnamed task", LimitError::Task::Unspecified, LimitError::Resource::Work,
        u"для работы с этим шаблоном нужно слишком много времени");
}

// The engine says what it refused and by how much; the window words it in Russian.
void TooBigTest::refusalWords()
{
    QFETCH(int, task);
    QFETCH(int, resource);
    QFETCH(QString, text);
    const razmnozhator::LimitError error(razmnozhator::LimitError::Task(task),
        razmnozhator::LimitError::Resource(resource), std::uint64_t(3) << 30, std::uint64_t(1) << 30);
    QCOMPARE(razmnozhator::refusals::windowText(error), text);
}

QTEST_MAIN(TooBigTest)
#include "toobig_test.moc"

// With "Непохожие" the random lines are chosen to differ the most: of the
// lines "F k l m L" the three that share no first and no last word.
void TooBigTest::mostDifferentLines()
{
    WindowDriver driver;
    prepare(driver);
    driver.minLengthEdit()->setText(QStringLiteral("0"));
    driver.maxLengthEdit()->setText(QStringLiteral("100"));
    driver.maxCountEdit()->setText(QStringLiteral("3"));
    driver.child<QCheckBox>("diverseBox")->setChecked(true);
    for (int press = 0; press < 5; ++press) {
        driver.dialogs->tooBigAnswers.enqueue(Answer::RandomLines);
        driver.generate(QStringLiteral("[a|b|c] k l m [x|y|z]"));
        const QStringList taken = driver.listTexts();
        QCOMPARE(taken.size(), 3);
        QSet<QChar> firsts, lasts;
        for (const QString &line : taken) {
            firsts.insert(line.front());
            lasts.insert(line.back());
        }
        QCOMPARE(firsts.size(), 3);
        QCOMPARE(lasts.size(), 3);
        QCOMPARE(driver.statusText(), QStringLiteral("Строк: 3, отличие не меньше 80 %"));
    }
}
