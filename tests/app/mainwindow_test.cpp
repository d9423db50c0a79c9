// The window as it is built: start state, layout, menus and shortcuts, field
// masks, accessible names and the question asked on every way of closing.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <memory>

#include "windowdriver.h"

using Kind = RecordingDialogs::Kind;

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void layoutInGrid();
    void sizeLimitsHoldOnResize_data();
    void sizeLimitsHoldOnResize();
    void menus_data();
    void menus();
    void buttonsReachTheirCommands_data();
    void buttonsReachTheirCommands();
    void shortcutsReachTheirCommands_data();
    void shortcutsReachTheirCommands();
    void closeAsks_data();
    void closeAsks();
    void fieldsRefuseWhatIsNotADigit_data();
    void fieldsRefuseWhatIsNotADigit();
    void numberFieldsNamedByTheirLabels_data();
    void numberFieldsNamedByTheirLabels();
    void mnemonicsReachTheirWidgets_data();
    void mnemonicsReachTheirWidgets();
    void keysInTheWindow_data();
    void keysInTheWindow();
    void smallestSizeShowsTextsWholeWithOwnLetters();
    void presetsSetTheRuleAndTheFields_data();
    void presetsSetTheRuleAndTheFields();
    void statusTextsNeverOverlap_data();
    void statusTextsNeverOverlap();
};

static const QString sampleTemplate
    = QStringLiteral("[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного} бизнеса.");

void MainWindowTest::startState()
{
    WindowDriver driver;
    QVERIFY(driver.showAndActivate());

    QCOMPARE(driver.window->windowTitle(), QStringLiteral("Размножатор v1.0b"));
    QCOMPARE(driver.window->size(), QSize(700, 500));
    QVERIFY(!driver.window->windowIcon().isNull());
    QCOMPARE(driver.window->windowIcon().availableSizes().value(0), QSize(32, 32));

    QTextEdit *edit = driver.templateEdit();
    QCOMPARE(edit->toPlainText(), sampleTemplate);
    const QTextCursor cursor = edit->textCursor();
    QCOMPARE(cursor.selectionStart(), 0);
    QCOMPARE(cursor.selectionEnd(), sampleTemplate.size());

    QCOMPARE(driver.minLengthEdit()->text(), QStringLiteral("10"));
    QCOMPARE(driver.maxLengthEdit()->text(), QStringLiteral("200"));
    QCOMPARE(driver.maxCountEdit()->text(), QStringLiteral("2500"));
    QCOMPARE(driver.shuffleBox()->checkState(), Qt::Checked);
    QCOMPARE(driver.shuffleBox()->text(), QStringLiteral("Пе&ремешать"));
    QCOMPARE(driver.child<QGroupBox>("restrictionGroup")->title(), QStringLiteral("После генерации"));
    QCOMPARE(driver.child<QPushButton>("lengthRuleButton")->text(), QStringLiteral("Счи&тать: все символы"));
    QVERIFY(driver.child<QAction>("lengthRule_plain")->isChecked());

    QCOMPARE(driver.rowCount(), 0);
    QCOMPARE(driver.statusText(), QString());
    QVERIFY(driver.dialogs->calls.isEmpty());
}

void MainWindowTest::layoutInGrid()
{
    WindowDriver driver;
    driver.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(driver.window.get()));

    auto *frame = driver.child<QFrame>("centralFrame");
    QCOMPARE(driver.window->centralWidget(), frame);
    auto *grid = qobject_cast<QGridLayout *>(frame->layout());
    QVERIFY(grid);
    QCOMPARE(grid->contentsMargins(), QMargins());

    struct Cell
    {
        const char *name;
        int row, column, columnSpan;
    };
    const Cell cells[] = {
        { "templateEdit", 0, 0, 1 },
        { "generateButton", 0, 1, 1 },
        { "saveButton", 0, 2, 1 },
        { "clipboardButton", 0, 3, 1 },
        { "restrictionGroup", 1, 0, 4 },
        { "lengthChart", 2, 0, 4 },
        { "resultList", 3, 0, 4 },
        { "statusLine", 4, 0, 4 },
    };
    for (const Cell &cell : cells) {
        const int index = grid->indexOf(driver.child<QWidget>(cell.name));
        QVERIFY2(index >= 0, cell.name);
        int row = -1, column = -1, rowSpan = -1, columnSpan = -1;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, cell.row);
        QCOMPARE(column, cell.column);
        QCOMPARE(rowSpan, 1);
        QCOMPARE(columnSpan, cell.columnSpan);
    }

    // The group holds its row of labels, fields, boxes and button in this
    // order; "Непохожие" stands under "Перемешать".
    const char *const groupOrder[] = { "minLengthLabel", "minLengthEdit", "maxLengthLabel", "maxLengthEdit",
        "lengthRuleButton", "maxCountLabel", "maxCountEdit", "shuffleBox", "restrictButton" };
    QLayout *row = driver.child<QGroupBox>("restrictionGroup")->layout();
    QVERIFY(row);
    QCOMPARE(row->count(), 9);
    for (int i = 0; i < 9; ++i) {
        QLayoutItem *item = row->itemAt(i);
        QCOMPARE(item->layout() ? item->layout()->itemAt(0)->widget() : item->widget(),
            driver.child<QWidget>(groupOrder[i]));
    }
    QLayout *boxes = row->itemAt(7)->layout();
    QVERIFY(boxes && boxes->count() == 2);
    QCOMPARE(boxes->itemAt(1)->widget(), driver.child<QWidget>("diverseBox"));
    QCOMPARE(driver.child<QLabel>("minLengthLabel")->text(), QStringLiteral("&Мин. строка"));
    QCOMPARE(driver.child<QLabel>("maxLengthLabel")->text(), QStringLiteral("Ма&кс. строка"));
    QCOMPARE(driver.child<QLabel>("maxCountLabel")->text(), QStringLiteral("Строк не &более"));

    // The status line is the grid's bottom row; the window has no status bar of its own.
    const QList<QStatusBar *> statusBars = driver.window->findChildren<QStatusBar *>();
    QCOMPARE(statusBars.size(), 1);
    QCOMPARE(statusBars.first(), driver.statusLine());
    QCOMPARE(driver.statusLine()->width(), frame->width());
    QCOMPARE(driver.resultList()->width(), frame->width());
}

void MainWindowTest::sizeLimitsHoldOnResize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("start size") << QSize(700, 500);
    QTest::newRow("large") << QSize(1600, 1100);
    QTest::newRow("small") << QSize(300, 200);
}

void MainWindowTest::sizeLimitsHoldOnResize()
{
    QFETCH(QSize, size);
    WindowDriver driver;
    driver.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(driver.window.get()));
    driver.window->resize(size);
    QApplication::processEvents();

    const int editHeight = driver.templateEdit()->height();
    QVERIFY2(editHeight >= 50 && editHeight <= 70, qPrintable(QString::number(editHeight)));
    QVERIFY(driver.child<QPushButton>("restrictButton")->width() <= 100);
}

void MainWindowTest::menus_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("menuName");
    QTest::addColumn<QString>("menuTitle");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<int>("position");

    const auto row = [](const char *name, const QString &action, const QString &menu, const QString &menuTitle,
                         const QString &text, QKeyCombination keys, int position) {
        QTest::newRow(name) << action << menu << menuTitle << text << QKeySequence(keys) << position;
    };
    const QString file = QStringLiteral("&Файл");
    row("save", "saveAction", "fileMenu", file, QStringLiteral("&Сохранить..."), Qt::CTRL | Qt::Key_S, 0);
    row("copy", "copyAction", "fileMenu", file, QStringLiteral("&Копировать в Clipboard..."), Qt::CTRL | Qt::Key_C, 1);
    row("exit", "exitAction", "fileMenu", file, QStringLiteral("&Выход!"), Qt::CTRL | Qt::Key_Q, 2);
    const QString help = QStringLiteral("&Помощь");
    row("help", "helpAction", "helpMenu", help, QStringLiteral("&Как писать шаблоны"), Qt::Key_F1, 0);
    row("about", "aboutAction", "helpMenu", help, QStringLiteral("&О Программе..."), Qt::CTRL | Qt::Key_B, 1);
}

void MainWindowTest::menus()
{
    QFETCH(QString, actionName);
    QFETCH(QString, menuName);
    QFETCH(QString, menuTitle);
    QFETCH(QString, text);
    QFETCH(QKeySequence, shortcut);
    QFETCH(int, position);

    WindowDriver driver;
    auto *menu = driver.child<QMenu>(qPrintable(menuName));
    auto *action = driver.child<QAction>(qPrintable(actionName));
    QCOMPARE(menu->title(), menuTitle);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
    QCOMPARE(menu->actions().indexOf(action), position);
    QCOMPARE(menu->actions().size(), menuName == u"fileMenu" ? 3 : 2);

    const QList<QAction *> barActions = driver.window->menuBar()->actions();
    QCOMPARE(barActions.size(), 2);
    QCOMPARE(barActions.indexOf(menu->menuAction()), menuName == u"fileMenu" ? 0 : 1);
}

// Lines "x" and "yy", fields that would keep only "x", and a template that
// would give "x" and "y": each command leaves its own trace.
static void prepareForCommands(const WindowDriver &driver)
{
    driver.generate(QStringLiteral("[x|yy]"));
    driver.minLengthEdit()->setText(QStringLiteral("0"));
    driver.maxLengthEdit()->setText(QStringLiteral("1"));
    driver.maxCountEdit()->setText(QStringLiteral("5"));
    driver.shuffleBox()->setChecked(false);
    driver.templateEdit()->setPlainText(QStringLiteral("[x|y]"));
    QGuiApplication::clipboard()->clear();
    driver.dialogs->calls.clear();
}

static void checkCommandReached(const WindowDriver &driver, const QString &command)
{
    const auto &calls = driver.dialogs->calls;
    const QStringList generated = { QStringLiteral("x"), QStringLiteral("yy") };
    if (command == u"save") {
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().kind, Kind::SavePath);
        QCOMPARE(driver.listTexts(), generated);
    } else if (command == u"about") {
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().kind, Kind::Information);
        QCOMPARE(driver.listTexts(), generated);
    } else if (command == u"clpbrd") {
        QVERIFY(calls.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("x\nyy\n"));
        QCOMPARE(driver.listTexts(), generated);
    } else if (command == u"go") {
        QVERIFY(calls.isEmpty());
        QCOMPARE(driver.listTexts(), QStringList({ QStringLiteral("x"), QStringLiteral("y") }));
        QCOMPARE(driver.statusText(), countMessage(2));
    } else if (command == u"restrict") {
        QVERIFY(calls.isEmpty());
        QCOMPARE(driver.listTexts(), QStringList({ QStringLiteral("x") }));
        QCOMPARE(driver.statusText(), countMessage(1));
    } else {
        QFAIL("unknown command");
    }
    if (command != u"clpbrd")
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
}

void MainWindowTest::buttonsReachTheirCommands_data()
{
    QTest::addColumn<QString>("senderName");
    QTest::addColumn<bool>("isAction");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command");

    const auto row = [](const char *name, const QString &sender, bool isAction, const QString &text,
                         const QString &command) { QTest::newRow(name) << sender << isAction << text << command; };
    row("generate button", "generateButton", false, QStringLiteral("&Нагенерить"), "go");
    row("save button", "saveButton", false, QStringLiteral("&Сохранить в файл"), "save");
    row("clipboard button", "clipboardButton", false, QStringLiteral("&В Clipboard"), "clpbrd");
    row("restrict button", "restrictButton", false, QStringLiteral("&Ограничить"), "restrict");
    row("save entry", "saveAction", true, QStringLiteral("&Сохранить..."), "save");
    row("copy entry", "copyAction", true, QStringLiteral("&Копировать в Clipboard..."), "clpbrd");
    row("about entry", "aboutAction", true, QStringLiteral("&О Программе..."), "about");
}

void MainWindowTest::buttonsReachTheirCommands()
{
    QFETCH(QString, senderName);
    QFETCH(bool, isAction);
    QFETCH(QString, text);
    QFETCH(QString, command);

    WindowDriver driver;
    prepareForCommands(driver);

    if (isAction) {
        auto *action = driver.child<QAction>(qPrintable(senderName));
        QCOMPARE(action->text(), text);
        action->trigger();
    } else {
        auto *button = driver.child<QPushButton>(qPrintable(senderName));
        QCOMPARE(button->text(), text);
        button->click();
    }
    checkCommandReached(driver, command);
}

void MainWindowTest::shortcutsReachTheirCommands_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("command");

    QTest::newRow("Ctrl+S saves") << QKeySequence(Qt::CTRL | Qt::Key_S) << "save";
    QTest::newRow("Ctrl+C copies") << QKeySequence(Qt::CTRL | Qt::Key_C) << "clpbrd";
    QTest::newRow("Ctrl+B shows About") << QKeySequence(Qt::CTRL | Qt::Key_B) << "about";
}

void MainWindowTest::shortcutsReachTheirCommands()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, command);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    prepareForCommands(driver);
    // In the template edit Ctrl+C copies the edit's own selection, as text
    // editing does everywhere; from the list it reaches the window's action.
    driver.resultList()->setFocus();
    QTest::keySequence(driver.window.get(), keys);
    checkCommandReached(driver, command);
}

void MainWindowTest::closeAsks_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("answer");

    for (const char *way : { "exit entry", "Ctrl+Q", "close button" }) {
        QTest::addRow("%s, No", way) << QString::fromLatin1(way) << false;
        QTest::addRow("%s, Yes", way) << QString::fromLatin1(way) << true;
    }
}

void MainWindowTest::closeAsks()
{
    QFETCH(QString, way);
    QFETCH(bool, answer);

    WindowDriver driver;
    driver.generate(QStringLiteral("[a|bb|ccc]"));
    driver.templateEdit()->setPlainText(QStringLiteral("шаблон"));
    driver.minLengthEdit()->setText(QStringLiteral("7"));
    driver.shuffleBox()->setChecked(false);
    QVERIFY(driver.showAndActivate());
    driver.dialogs->yesNoAnswers.enqueue(answer);

    if (way == u"exit entry")
        driver.trigger("exitAction");
    else if (way == u"Ctrl+Q")
        QTest::keySequence(driver.window.get(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    else
        driver.window->windowHandle()->close();
    QApplication::processEvents();

    const auto questions = driver.dialogs->callsOf(Kind::YesNo);
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().title, QStringLiteral("Выйти"));
    QCOMPARE(questions.first().text, QStringLiteral("Вы уверены?"));
    QCOMPARE(questions.first().parent, driver.window.get());
    QCOMPARE(driver.dialogs->calls.size(), 1);

    QCOMPARE(driver.window->isVisible(), !answer);
    if (!answer) {
        QCOMPARE(driver.templateEdit()->toPlainText(), QStringLiteral("шаблон"));
        QCOMPARE(driver.minLengthEdit()->text(), QStringLiteral("7"));
        QCOMPARE(driver.shuffleBox()->checkState(), Qt::Unchecked);
        QCOMPARE(driver.listTexts(), QStringList({ "a", "bb", "ccc" }));
        QCOMPARE(driver.statusText(), countMessage(3));
    }
}

void MainWindowTest::fieldsRefuseWhatIsNotADigit_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    const auto row = [](const QString &field, const char *what, const QString &typed, const QString &expected) {
        QTest::addRow("%s: %s", qPrintable(field), what) << field << typed << expected;
    };
    for (const QString field : { "minLengthEdit", "maxLengthEdit" }) {
        row(field, "letters", "abc", "");
        row(field, "Cyrillic letters", QStringLiteral("мин"), "");
        row(field, "digits among letters", "1a2b", "12");
        row(field, "sign and point", "-1.5", "15");
        row(field, "five digits", "12345", "12345");
        row(field, "sixth digit", "123456", "12345");
    }
    row("maxCountEdit", "letters", "x", "");
    row("maxCountEdit", "seven digits", "1234567", "1234567");
    row("maxCountEdit", "eighth digit", "12345678", "1234567");
}

void MainWindowTest::fieldsRefuseWhatIsNotADigit()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    auto *edit = driver.child<QLineEdit>(qPrintable(field));
    edit->setFocus();
    edit->clear();
    edit->setCursorPosition(0);
    // Key by key with its text, as a keyboard layout delivers letters of any alphabet.
    for (const QChar character : typed)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(character), Qt::NoModifier);
    QCOMPARE(edit->text(), expected);
}

void MainWindowTest::numberFieldsNamedByTheirLabels_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");
    QTest::newRow("minimum length") << QString("minLengthEdit") << QString("minLengthLabel") << QString("Мин. строка");
    QTest::newRow("maximum length") << QString("maxLengthEdit") << QString("maxLengthLabel") << QString("Макс. строка");
    QTest::newRow("maximum count") << QString("maxCountEdit") << QString("maxCountLabel") << QString("Строк не более");
}

void MainWindowTest::numberFieldsNamedByTheirLabels()
{
    QFETCH(QString, field);
    QFETCH(QString, label);
    QFETCH(QString, name);

    WindowDriver driver;
    auto *edit = driver.child<QLineEdit>(qPrintable(field));
    QCOMPARE(driver.child<QLabel>(qPrintable(label))->buddy(), edit);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(edit);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
}

enum class Reached { Click, Toggle, Focus, Menu };
Q_DECLARE_METATYPE(Reached)

void MainWindowTest::mnemonicsReachTheirWidgets_data()
{
    QTest::addColumn<QChar>("letter");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<Reached>("reached");

    const auto row = [](char16_t letter, const char *widget, Reached reached) {
        QTest::addRow("Alt+%s to %s", qPrintable(QString(QChar(letter))), widget)
            << QChar(letter) << QString::fromLatin1(widget) << reached;
    };
    row(u'Н', "generateButton", Reached::Click);
    row(u'С', "saveButton", Reached::Click);
    row(u'В', "clipboardButton", Reached::Click);
    row(u'О', "restrictButton", Reached::Click);
    row(u'Р', "shuffleBox", Reached::Toggle);
    row(u'Х', "diverseBox", Reached::Toggle);
    row(u'М', "minLengthEdit", Reached::Focus);
    row(u'К', "maxLengthEdit", Reached::Focus);
    row(u'Б', "maxCountEdit", Reached::Focus);
    row(u'Т', "lengthRuleButton", Reached::Menu);
}

// Alt with a Cyrillic letter, as the Russian keyboard layout sends it.
void MainWindowTest::mnemonicsReachTheirWidgets()
{
    QFETCH(QChar, letter);
    QFETCH(QString, widget);
    QFETCH(Reached, reached);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    prepareForCommands(driver);
    driver.dialogs->savePaths.clear();
    auto *target = driver.child<QWidget>(qPrintable(widget));
    auto *button = qobject_cast<QAbstractButton *>(target);
    std::unique_ptr<QSignalSpy> clicked;
    if (button)
        clicked = std::make_unique<QSignalSpy>(button, &QAbstractButton::clicked);
    const bool wasChecked = button && button->isChecked();
    // A button's menu runs a loop of its own until it closes: the timer closes it.
    QWidget *menuSeen = nullptr;
    QTimer menuCloser;
    connect(&menuCloser, &QTimer::timeout, [&menuSeen] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            menuSeen = popup;
            popup->close();
        }
    });
    menuCloser.start(10);
    driver.templateEdit()->setFocus();

    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(letter.unicode()), QString(letter.toLower()),
        Qt::AltModifier);

    if (reached == Reached::Focus) {
        QTRY_COMPARE(QApplication::focusWidget(), target);
    } else if (reached == Reached::Menu) {
        QTRY_VERIFY(menuSeen);
        QCOMPARE(menuSeen, qobject_cast<QPushButton *>(button)->menu());
    } else {
        QTRY_COMPARE(clicked->size(), 1);
        QCOMPARE(button->isChecked(), reached == Reached::Toggle ? !wasChecked : false);
    }
    // Typed nowhere.
    QCOMPARE(driver.templateEdit()->toPlainText(), QStringLiteral("[x|y]"));
}

enum class KeyEffect { Generates, TypesTab, LeavesEditor };
Q_DECLARE_METATYPE(KeyEffect)

void MainWindowTest::keysInTheWindow_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("repeats");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<KeyEffect>("effect");

    const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
    for (const char *focus : { "templateEdit", "minLengthEdit", "resultList", "shuffleBox", "generateButton" }) {
        QTest::addRow("Ctrl+Return in %s generates", focus)
            << QString::fromLatin1(focus) << 1 << Qt::Key_Return << ctrl << KeyEffect::Generates;
    }
    QTest::newRow("Ctrl+Enter of the keypad in templateEdit generates")
        << QStringLiteral("templateEdit") << 1 << Qt::Key_Enter << (ctrl | Qt::KeypadModifier) << KeyEffect::Generates;
    // The long template is laid out in pieces.
    for (const int repeats : { 1, 20000 }) {
        const char *size = repeats > 1 ? "long template" : "short template";
        const auto row = [&](const char *what, Qt::Key key, Qt::KeyboardModifiers modifiers, KeyEffect effect) {
            QTest::addRow("%s, %s", size, what)
                << QStringLiteral("templateEdit") << repeats << key << modifiers << effect;
        };
        row("Tab types a tab", Qt::Key_Tab, {}, KeyEffect::TypesTab);
        row("Ctrl+Tab moves on", Qt::Key_Tab, ctrl, KeyEffect::LeavesEditor);
        row("Shift+Tab moves back", Qt::Key_Backtab, Qt::ShiftModifier, KeyEffect::LeavesEditor);
    }
}

void MainWindowTest::keysInTheWindow()
{
    QFETCH(QString, focus);
    QFETCH(int, repeats);
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(KeyEffect, effect);

    WindowDriver driver;
    QVERIFY(driver.showAndActivate());
    prepareForCommands(driver);
    const QString text = QStringLiteral("[x|y]").repeated(repeats);
    driver.templateEdit()->setPlainText(text);
    driver.child<QWidget>(qPrintable(focus))->setFocus();
    QTextCursor cursor = driver.templateEdit()->textCursor();
    cursor.setPosition(2);
    driver.templateEdit()->setTextCursor(cursor);

    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    if (effect == KeyEffect::Generates)
        checkCommandReached(driver, QStringLiteral("go"));
    else
        QCOMPARE(QApplication::focusWidget() != driver.templateEdit(), effect == KeyEffect::LeavesEditor);
    // Nothing else typed into the template (no line break) or into a field.
    QCOMPARE(
        driver.templateEdit()->toPlainText(), effect == KeyEffect::TypesTab ? QString(text).insert(2, u'\t') : text);
    QCOMPARE(driver.minLengthEdit()->text(), QStringLiteral("0"));
}

// Shrunk as far as it goes, the window still shows every text whole; each
// text, and each of the two menus, has a letter of its own.
void MainWindowTest::smallestSizeShowsTextsWholeWithOwnLetters()
{
    WindowDriver driver;
    driver.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(driver.window.get()));
    const QSize smallest = driver.window->minimumSize();
    QVERIFY2(smallest.width() <= 700 && smallest.height() <= 500,
        qPrintable(QStringLiteral("%1×%2").arg(smallest.width()).arg(smallest.height())));
    driver.window->resize(40, 30);
    QApplication::processEvents();
    QCOMPARE(driver.window->size(), smallest);

    QStringList texts;
    for (const QAction *menu : driver.window->menuBar()->actions())
        texts.append(menu->text());
    QList<QWidget *> shown;
    for (QAbstractButton *button : driver.window->findChildren<QAbstractButton *>()) {
        if (!button->text().isEmpty())
            shown.append(button);
    }
    for (QLabel *label : driver.window->findChildren<QLabel *>()) {
        if (label->buddy())
            shown.append(label);
    }
    QCOMPARE(shown.size(), 10);
    for (const QWidget *widget : shown) {
        QVERIFY2(
            widget->isVisible() && widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
        QVERIFY2(driver.window->rect().contains(QRect(widget->mapTo(driver.window.get(), QPoint()), widget->size())),
            qPrintable(widget->objectName()));
        texts.append(widget->property("text").toString());
    }
    QCOMPARE(texts.size(), 12);
    QSet<QKeySequence> letters;
    for (const QString &text : texts) {
        const QKeySequence letter = QKeySequence::mnemonic(text);
        QVERIFY2(!letter.isEmpty() && !letters.contains(letter), qPrintable(text));
        letters.insert(letter);
    }
    // The list keeps room for a few rows.
    QVERIFY(driver.resultList()->height() >= 4 * driver.resultList()->fontMetrics().height());
}

void MainWindowTest::presetsSetTheRuleAndTheFields_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<QString>("minLength");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<QString>("buttonText");

    const QString plain = QStringLiteral("Счи&тать: все символы");
    const QString direct = QStringLiteral("Счи&тать: как в Директе");
    QTest::newRow("Direct title") << "preset_direct-title" << QStringLiteral("Директ: заголовок, 1–56") << "1"
                                  << "56" << direct;
    QTest::newRow("Direct text") << "preset_direct-text" << QStringLiteral("Директ: текст, 1–81") << "1"
                                 << "81" << direct;
    QTest::newRow("Google Ads headline") << "preset_google-headline"
                                         << QStringLiteral("Google Ads: заголовок, 1–30, без «!»") << "1"
                                         << "30" << QStringLiteral("Счи&тать: все символы, без «!»");
    QTest::newRow("Google Ads description")
        << "preset_google-description" << QStringLiteral("Google Ads: описание, 1–90, не больше одного «!»") << "1"
        << "90" << QStringLiteral("Счи&тать: все символы, «!» ≤ 1");
    QTest::newRow("Direct display link") << "preset_direct-display-link"
                                         << QStringLiteral("Директ: отображаемая ссылка, 1–20") << "1"
                                         << "20" << plain;
    QTest::newRow("the Direct rule alone keeps the fields")
        << "lengthRule_direct" << QStringLiteral("как в Директе") << "10"
        << "200" << direct;
}

// One menu action sets the rule and both length fields; the button names the rule.
void MainWindowTest::presetsSetTheRuleAndTheFields()
{
    QFETCH(QString, action);
    QFETCH(QString, menuText);
    QFETCH(QString, minLength);
    QFETCH(QString, maxLength);
    QFETCH(QString, buttonText);

    WindowDriver driver;
    // From the other rule, so that every row changes it.
    driver.trigger(buttonText.endsWith(QStringLiteral("Директе")) ? "lengthRule_plain" : "lengthRule_direct");
    auto *item = driver.child<QAction>(qPrintable(action));
    QCOMPARE(item->text(), menuText);
    item->trigger();
    QCOMPARE(driver.minLengthEdit()->text(), minLength);
    QCOMPARE(driver.maxLengthEdit()->text(), maxLength);
    QCOMPARE(driver.child<QPushButton>("lengthRuleButton")->text(), buttonText);
    const bool direct = buttonText.endsWith(QStringLiteral("Директе"));
    QCOMPARE(driver.child<QAction>("lengthRule_direct")->isChecked(), direct);
    QCOMPARE(driver.child<QAction>("lengthRule_plain")->isChecked(), !direct);
}

void MainWindowTest::statusTextsNeverOverlap_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<QString>("minLength");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<bool>("smallest");
    // What the live count says of this template and not of the sample one.
    QTest::addColumn<QString>("countPart");

    const QString hundredDigits = QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(100);
    const QString megabytes = QStringLiteral("[a|b]").repeated(1000000);
    for (const bool smallest : { false, true }) {
        const auto row = [smallest](const char *name, const QString &text, bool direct, const char *min,
                             const char *max, const QString &countPart) {
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(
                QLatin1String(name), smallest ? QStringLiteral("smallest size") : QStringLiteral("starting size"))))
                << text << direct << QString::fromLatin1(min) << QString::fromLatin1(max) << smallest << countPart;
        };
        row("10^100 variants by the Direct rule within 44..50", hundredDigits, true, "44", "50",
            QStringLiteral("10¹⁰⁰"));
        row("minimum above maximum",
            QStringLiteral("[Лучшее|Отличное|Прекрасное] решение для { и "
                           "|[мелкого|малого]|среднего|крупного} бизнеса."),
            false, "40", "10", QStringLiteral("подходят: 0"));
        row("five megabytes", megabytes, false, "10", "200", QStringLiteral("10³⁰¹⁰²⁹"));
    }
}

// Each text of the status line has a place of its own, whatever its length
// and the window's width; what is cut short shows whole in its tooltip, and
// the accessibility interface reads it whole.
void MainWindowTest::statusTextsNeverOverlap()
{
    QFETCH(QString, templateText);
    QFETCH(bool, direct);
    QFETCH(QString, minLength);
    QFETCH(QString, maxLength);
    QFETCH(bool, smallest);
    QFETCH(QString, countPart);

    WindowDriver driver;
    driver.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(driver.window.get()));
    if (smallest)
        driver.window->resize(driver.window->minimumSize());
    driver.click("generateButton");
    QCOMPARE(driver.statusText(), countMessage(30));
    if (direct)
        driver.trigger("lengthRule_direct");
    driver.minLengthEdit()->setText(minLength);
    driver.maxLengthEdit()->setText(maxLength);
    auto *count = driver.child<QLabel>("variantCountLabel");
    driver.templateEdit()->setPlainText(templateText);
    QTRY_VERIFY2_WITH_TIMEOUT(count->text().contains(countPart), qPrintable(count->text()), 30000);
    QApplication::processEvents();

    auto *line = driver.child<QLabel>("lineStatusLabel");
    const QRect bar(driver.statusLine()->mapToGlobal(QPoint()), driver.statusLine()->size());
    QRect previous;
    for (QLabel *label : { line, count }) {
        QAccessibleInterface *readable = QAccessible::queryAccessibleInterface(label);
        QVERIFY(readable);
        QCOMPARE(readable->text(QAccessible::Name), label->text());
        const QRect extent = readable->rect();
        QVERIFY2(!extent.isEmpty() && bar.contains(extent), qPrintable(label->objectName()));
        QVERIFY2(!extent.intersects(previous), qPrintable(label->objectName()));
        previous = extent;
        const bool fits = label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
        QCOMPARE(label->toolTip(), fits ? QString() : label->text());
    }
    // The short count on the left stays whole beside the longest live count.
    QCOMPARE(line->toolTip(), QString());
    QCOMPARE(driver.statusText(), countMessage(30));
}

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
