#include "mainwindow.h"

#include <algorithm>
#include <array>
#include <optional>

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include "dialogs.h"
#include "documenttext.h"
#include "elidedlabel.h"
#include "fieldtablemodel.h"
#include "lengthchart.h"
#include "lengthchartfeeder.h"
#include "lengthrules.h"
#include "linelistmodel.h"
#include "progressrunner.h"
#include "razmnozhator/memorybudget.h"
#include "resultlistview.h"
#include "templateedit.h"
#include "templatehighlighter.h"
#include "variantcounter.h"

// The window lives in a static library, whose resource object the linker
// would drop unless something refers to it; Q_INIT_RESOURCE is that reference.
// It must be called from the global namespace.
static void initResources()
{
    Q_INIT_RESOURCE(razmnozhator);
}

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(std::make_unique<QtDialogs>(), parent)
{
}

MainWindow::MainWindow(std::unique_ptr<Dialogs> injectedDialogs, QWidget *parent)
    : QMainWindow(parent)
    , dialogs(std::move(injectedDialogs))
    , memoryAvailable(razmnozhator::availableMemory)
{
    createMenus();
    createWidgets();
    createVariantCounter();
    createShortcuts();
    limitSize();
}

MainWindow::~MainWindow()
{
    // The views go after the members: they must not read the lines meanwhile.
    fieldModel->replaceLines([this] { lineModel->replaceLines([this] { discardInBackground(std::move(lines)); }); }, 1);
}

void MainWindow::setMemorySource(std::function<std::uint64_t()> available)
{
    memoryAvailable = std::move(available);
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&Файл"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    QAction *saveAction = fileMenu->addAction(tr("&Сохранить..."));
    saveAction->setObjectName(QStringLiteral("saveAction"));
    saveAction->setShortcut(QKeySequence(tr("Ctrl+S")));
    QAction *copyAction = fileMenu->addAction(tr("&Копировать в Clipboard..."));
    copyAction->setObjectName(QStringLiteral("copyAction"));
    copyAction->setShortcut(QKeySequence(tr("Ctrl+C")));
    QAction *exitAction = fileMenu->addAction(tr("&Выход!"));
    exitAction->setObjectName(QStringLiteral("exitAction"));
    exitAction->setShortcut(QKeySequence(tr("Ctrl+Q")));

    QMenu *helpMenu = menuBar()->addMenu(tr("&Помощь"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    QAction *helpAction = helpMenu->addAction(tr("&Как писать шаблоны"));
    helpAction->setObjectName(QStringLiteral("helpAction"));
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    QAction *aboutAction = helpMenu->addAction(tr("&О Программе..."));
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    aboutAction->setShortcut(QKeySequence(tr("Ctrl+B")));

    connect(saveAction, &QAction::triggered, this, &MainWindow::save);
    connect(copyAction, &QAction::triggered, this, &MainWindow::clpbrd);
    connect(exitAction, &QAction::triggered, this, &MainWindow::close);
    connect(helpAction, &QAction::triggered, this, &MainWindow::showHelp);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::about);
}

void MainWindow::createWidgets()
{
    const std::array<QPushButton *, 3> commandButtons = createCommandButtons();
    QGroupBox *restrictionGroup = createRestrictionGroup();
    createResultList();
    createResultTable();
    createTemplateEdit();
    createStatusLine();
    createLengthChart();

    auto *centralFrame = new QFrame;
    centralFrame->setObjectName(QStringLiteral("centralFrame"));
    auto *grid = new QGridLayout(centralFrame);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(templateEdit, 0, 0, 1, 1);
    for (int column = 1; column <= 3; ++column)
        grid->addWidget(commandButtons[static_cast<std::size_t>(column - 1)], 0, column, 1, 1);
    grid->addWidget(restrictionGroup, 1, 0, 1, 4);
    grid->addWidget(lengthChart, 2, 0, 1, 4);
    // One of the two shows the lines; a hidden widget takes no room.
    grid->addWidget(resultList, 3, 0, 1, 4);
    grid->addWidget(resultTable, 3, 0, 1, 4);
    grid->addWidget(statusLine, 4, 0, 1, 4);

    setCentralWidget(centralFrame);
    setWindowTitle(tr("Размножатор v1.0b"));
    initResources();
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/images/logo.png"))));
}

std::array<QPushButton *, 3> MainWindow::createCommandButtons()
{
    // Every button, box and field label marks a letter of its own for Alt,
    // none of them the menus' Ф and П.
    auto *generateButton = new QPushButton(tr("&Нагенерить"));
    generateButton->setObjectName(QStringLiteral("generateButton"));
    auto *saveButton = new QPushButton(tr("&Сохранить в файл"));
    saveButton->setObjectName(QStringLiteral("saveButton"));
    auto *clipboardButton = new QPushButton(tr("&В Clipboard"));
    clipboardButton->setObjectName(QStringLiteral("clipboardButton"));

    connect(generateButton, &QPushButton::clicked, this, &MainWindow::go);
    connect(saveButton, &QPushButton::clicked, this, &MainWindow::save);
    connect(clipboardButton, &QPushButton::clicked, this, &MainWindow::clpbrd);
    return { generateButton, saveButton, clipboardButton };
}

QGroupBox *MainWindow::createRestrictionGroup()
{
    auto *restrictionGroup = new QGroupBox(tr("После генерации"));
    restrictionGroup->setObjectName(QStringLiteral("restrictionGroup"));

    auto *minLengthLabel = new QLabel(tr("&Мин. строка"));
    minLengthLabel->setObjectName(QStringLiteral("minLengthLabel"));
    auto *maxLengthLabel = new QLabel(tr("Ма&кс. строка"));
    maxLengthLabel->setObjectName(QStringLiteral("maxLengthLabel"));
    auto *maxCountLabel = new QLabel(tr("Строк не &более"));
    maxCountLabel->setObjectName(QStringLiteral("maxCountLabel"));

    shuffleBox = new QCheckBox(tr("Пе&ремешать"));
    shuffleBox->setObjectName(QStringLiteral("shuffleBox"));
    shuffleBox->setCheckState(Qt::Checked);
    diverseBox = new QCheckBox(tr("Непо&хожие"));
    diverseBox->setObjectName(QStringLiteral("diverseBox"));
    diverseBox->setToolTip(tr("Оставлять строки, которые меньше всего похожи друг на друга: "
                              "у них меньше всего общих сочетаний из трёх слов подряд"));

    // In the mask "0" is an optional digit and "9" a required one.
    minLengthEdit = new QLineEdit(QStringLiteral("10"));
    minLengthEdit->setObjectName(QStringLiteral("minLengthEdit"));
    minLengthEdit->setInputMask(QStringLiteral("00009"));
    maxLengthEdit = new QLineEdit(QStringLiteral("200"));
    maxLengthEdit->setObjectName(QStringLiteral("maxLengthEdit"));
    maxLengthEdit->setInputMask(QStringLiteral("00009"));
    maxCountEdit = new QLineEdit(QStringLiteral("2500"));
    maxCountEdit->setObjectName(QStringLiteral("maxCountEdit"));
    maxCountEdit->setInputMask(QStringLiteral("0000009"));

    // The buddy gives each number field its label as accessible name.
    minLengthLabel->setBuddy(minLengthEdit);
    maxLengthLabel->setBuddy(maxLengthEdit);
    maxCountLabel->setBuddy(maxCountEdit);

    auto *restrictButton = new QPushButton(tr("&Ограничить"));
    restrictButton->setObjectName(QStringLiteral("restrictButton"));
    restrictButton->setMaximumWidth(100);
    connect(restrictButton, &QPushButton::clicked, this, &MainWindow::restrict);

    // The rule button under the length fields it counts for, the rest
    // centred beside both rows: in the row it would no longer fit the
    // window's starting width with room for the numbers.
    auto *restrictionLayout = new QGridLayout;
    restrictionLayout->addWidget(minLengthLabel, 0, 0);
    restrictionLayout->addWidget(minLengthEdit, 0, 1);
    restrictionLayout->addWidget(maxLengthLabel, 0, 2);
    restrictionLayout->addWidget(maxLengthEdit, 0, 3);
    restrictionLayout->addWidget(createLengthRuleButton(), 1, 0, 1, 4);
    restrictionLayout->addWidget(maxCountLabel, 0, 4, 2, 1);
    restrictionLayout->addWidget(maxCountEdit, 0, 5, 2, 1);
    // The two boxes one above the other, for the same reason.
    auto *boxesLayout = new QVBoxLayout;
    boxesLayout->setSpacing(0);
    boxesLayout->addWidget(shuffleBox);
    boxesLayout->addWidget(diverseBox);
    restrictionLayout->addLayout(boxesLayout, 0, 6, 2, 1);
    restrictionLayout->addWidget(restrictButton, 0, 7, 2, 1);
    restrictionGroup->setLayout(restrictionLayout);
    return restrictionGroup;
}

namespace {

// "Считать: как в Директе": the button says which rule counts now.
QString ruleButtonText(const QString &choice)
{
    return MainWindow::tr("Счи&тать: %1").arg(choice);
}

} // namespace

QPushButton *MainWindow::createLengthRuleButton()
{
    using namespace razmnozhator::lengthrules;
    lengthRuleButton = new QPushButton;
    lengthRuleButton->setObjectName(QStringLiteral("lengthRuleButton"));
    lengthRuleButton->setToolTip(tr("Как считать длину строки: все символы, или как в Директе, где знаки "
                                    "%1 не считаются и строка с более чем %2 из них не подходит")
                                     .arg(narrowCharacters().toString())
                                     .arg(mostNarrow));
    auto *menu = new QMenu(lengthRuleButton);
    menu->setObjectName(QStringLiteral("lengthRuleMenu"));
    lengthRuleChoices = new QActionGroup(menu);
    for (const Rule rule : { Rule::Plain, Rule::Direct }) {
        QAction *choice = menu->addAction(choiceText(rule));
        choice->setObjectName(QStringLiteral("lengthRule_%1").arg(nameOf(rule)));
        choice->setCheckable(true);
        choice->setData(static_cast<int>(rule));
        lengthRuleChoices->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, rule] { chooseLengthRule({ rule }); });
    }
    // The presets under a heading per platform, in the table's order.
    std::optional<Platform> platform;
    for (const Preset &preset : presets()) {
        if (preset.platform != platform) {
            platform = preset.platform;
            menu->addSection(platformTitle(preset.platform));
        }
        QAction *action = menu->addAction(presetTitle(preset));
        action->setObjectName(QStringLiteral("preset_%1").arg(QLatin1String(preset.name)));
        connect(action, &QAction::triggered, this, [this, &preset] { applyPreset(preset); });
    }
    lengthRuleButton->setMenu(menu);
    chooseLengthRule({});
    return lengthRuleButton;
}

void MainWindow::chooseLengthRule(const razmnozhator::lengthrules::FieldRule &rule)
{
    using namespace razmnozhator::lengthrules;
    for (QAction *choice : lengthRuleChoices->actions())
        choice->setChecked(choice->data().toInt() == static_cast<int>(rule.rule));
    presetLimit = rule.limit;
    lengthRuleButton->setText(ruleButtonText(choiceText(rule)));
    if (lengthChart)
        lengthChart->setRuleWording(wording(rule));
    if (variantCounter)
        variantCounter->schedule();
    // The length of the chosen line by the new rule.
    if (resultList)
        refreshLineStatus();
}

void MainWindow::applyPreset(const razmnozhator::lengthrules::Preset &preset)
{
    // The fields tell the counter too; it counts once typing, or this, pauses.
    chooseLengthRule(preset.fieldRule());
    minLengthEdit->setText(QString::number(preset.min));
    maxLengthEdit->setText(QString::number(preset.max));
}

void MainWindow::createResultList()
{
    resultList = new ResultListView;
    resultList->setObjectName(QStringLiteral("resultList"));
    lineModel = new LineListModel(lines, resultList);
    resultList->setModel(lineModel);
    connect(resultList, &QListView::clicked, this, &MainWindow::status);
    connect(resultList, &QListView::activated, this, &MainWindow::status);
    // Bounds do not change a line's length, yet the status is said anew for
    // every change that could, so that it never lags behind the fields.
    connect(minLengthEdit, &QLineEdit::textChanged, this, &MainWindow::refreshLineStatus);
    connect(maxLengthEdit, &QLineEdit::textChanged, this, &MainWindow::refreshLineStatus);
    // The keys move the current row without a click or an activation. A
    // refresh clears the current row without a word, so "Строк: N" stays.
    connect(
        resultList->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
            if (current.isValid())
                status(current);
        });
}

void MainWindow::createResultTable()
{
    resultTable = new QTableView;
    resultTable->setObjectName(QStringLiteral("resultTable"));
    resultTable->setAccessibleName(tr("Строки"));
    fieldModel = new FieldTableModel(lines, resultTable);
    resultTable->setModel(fieldModel);
    // A row is a line, chosen whole as in the list; the cursor keys still
    // move from field to field, and a screen reader reads each one.
    resultTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultTable->setSelectionMode(QAbstractItemView::SingleSelection);
    resultTable->setWordWrap(false);
    resultTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows of one height, as the list's, so that the view never measures
    // one of possibly millions; the line's number would only crowd it.
    QHeaderView *rowHeader = resultTable->verticalHeader();
    rowHeader->hide();
    rowHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowHeader->setMinimumSectionSize(1);
    rowHeader->setDefaultSectionSize(
        resultList->sizeHintForRow(0) > 0 ? resultList->sizeHintForRow(0) : resultTable->fontMetrics().height() + 4);
    resultTable->horizontalHeader()->setStretchLastSection(true);
    resultTable->horizontalHeader()->setHighlightSections(false);
    resultTable->hide();
    connect(resultTable, &QTableView::clicked, this, &MainWindow::status);
    connect(resultTable, &QTableView::activated, this, &MainWindow::status);
    connect(
        resultTable->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
            // As in the list, the keys move the current row too.
            if (current.isValid())
                status(current);
        });
}

void MainWindow::createTemplateEdit()
{
    templateEdit = new TemplateEdit;
    templateEdit->setObjectName(QStringLiteral("templateEdit"));
    // Pasted rich text would bring fonts and colours the highlighting does not expect.
    templateEdit->setAcceptRichText(false);
    templateEdit->setPlainText(
        tr("[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного} бизнеса."));
    templateDocumentText = new DocumentText(templateEdit->document());
    templateHighlighter = new TemplateHighlighter(templateEdit, templateDocumentText);
    connect(templateEdit->document(), &QTextDocument::contentsChange, this, &MainWindow::chooseTemplateWrapping,
        Qt::QueuedConnection);
    templateEdit->selectAll();
    templateEdit->setMinimumHeight(50);
    templateEdit->setMaximumHeight(70);
}

void MainWindow::chooseTemplateWrapping()
{
    // The editor lays out a changed paragraph whole at every key, and a
    // pasted template is often one paragraph. Breaking lines between words,
    // it searches every run without a place to break, such as a hundred
    // thousand closing brackets, to its end; breaking anywhere costs a fifth
    // of that on a template of hundreds of kilobytes. Short templates keep
    // their words whole.
    constexpr int breakAnywhereFrom = 64 * 1024;
    const auto mode = templateEdit->document()->characterCount() > breakAnywhereFrom
        ? QTextOption::WrapAnywhere
        : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (templateEdit->wordWrapMode() != mode)
        templateEdit->setWordWrapMode(mode);
}

void MainWindow::createStatusLine()
{
    // A status bar widget of our own in the grid; the window's own status bar
    // is never created. Its messages are labels side by side, not the bar's
    // own message, which it would draw under the live count at its right end:
    // where both do not fit, each gives up the same share and is cut short.
    statusLine = new QStatusBar;
    statusLine->setObjectName(QStringLiteral("statusLine"));
    lineStatusLabel = new ElidedLabel;
    lineStatusLabel->setObjectName(QStringLiteral("lineStatusLabel"));
    statusLine->addWidget(lineStatusLabel, 1);
    variantCountLabel = new ElidedLabel;
    variantCountLabel->setObjectName(QStringLiteral("variantCountLabel"));
    variantCountLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusLine->addPermanentWidget(variantCountLabel, 1);
}

void MainWindow::createLengthChart()
{
    lengthChart = new LengthChart;
    lengthChart->setObjectName(QStringLiteral("lengthChart"));
    lengthChart->setRuleWording(lengthRuleWording());
    // The shading follows the fields at once; the fields follow a drag.
    const auto followFields = [this] { lengthChart->setBounds(lengthRange()); };
    connect(minLengthEdit, &QLineEdit::textChanged, lengthChart, followFields);
    connect(maxLengthEdit, &QLineEdit::textChanged, lengthChart, followFields);
    followFields();
    connect(lengthChart, &LengthChart::boundsDragged, this, [this](razmnozhator::LengthRange bounds) {
        minLengthEdit->setText(QString::number(bounds.min));
        maxLengthEdit->setText(QString::number(bounds.max));
    });
}

void MainWindow::createVariantCounter()
{
    variantCounter = new VariantCounter(
        [this] {
            return VariantCounter::Input { templateText(), { minLength(), maxLength() }, lengthRule() };
        },
        [document = templateEdit->document()] { return document->characterCount() > TemplateEdit::piecesFrom; }, this);
    templateHighlighter->deferWhile([counter = variantCounter] { return counter->isCounting(); });
    auto *lengthChartFeeder = new LengthChartFeeder(lengthChart, this);
    lengthChartFeeder->setObjectName(QStringLiteral("lengthChartFeeder"));
    connect(variantCounter, &VariantCounter::countedFigures, lengthChartFeeder, &LengthChartFeeder::counted);
    connect(variantCounter, &VariantCounter::counted, variantCountLabel, &ElidedLabel::setFullText);
    // Told of a change before the editor lays it out, not after as by textChanged;
    // the template's text is already up to date then.
    connect(templateEdit->document(), &QTextDocument::contentsChange, variantCounter, &VariantCounter::schedule);
    connect(minLengthEdit, &QLineEdit::textChanged, variantCounter, &VariantCounter::schedule);
    connect(maxLengthEdit, &QLineEdit::textChanged, variantCounter, &VariantCounter::schedule);
    variantCounter->schedule();
}

void MainWindow::createShortcuts()
{
    // Return alone types a line break in the template; with Ctrl the editor
    // leaves the key to the window. Enter of the keypad does the same.
    for (const QKeyCombination keys : { Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter }) {
        auto *shortcut = new QShortcut(QKeySequence(keys), this);
        connect(shortcut, &QShortcut::activated, this, &MainWindow::go);
    }
}

namespace {

// Window managers hold a window to its minimum size; without one the X
// server takes any size, and the window would squeeze its texts to nothing.
// The window then asks again for its minimum, once for each size it refuses,
// so that it never argues with a window manager that insists.
class MinimumSizeKeeper : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        if (event->type() != QEvent::Resize)
            return false;
        const QSize size = static_cast<QResizeEvent *>(event)->size();
        const QSize allowed = size.expandedTo(window->minimumSize());
        if (allowed != size && size != refused) {
            refused = size;
            QMetaObject::invokeMethod(
                window, [window, allowed] { window->resize(allowed); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QSize refused;
};

// Wide enough for the largest number the field's mask takes.
int widthForDigits(const QLineEdit *field)
{
    const QFontMetrics metrics = field->fontMetrics();
    // The minimum size hint leaves room for one widest character.
    return field->minimumSizeHint().width() - metrics.maxWidth()
        + metrics.horizontalAdvance(QString(field->maxLength(), u'0'));
}

} // namespace

void MainWindow::limitSize()
{
    // What the layout needs with every label, box and button text whole,
    // plus room for the numbers in the fields and for ten rows of the list.
    // The rule button is as wide as its longest text, a preset's limit
    // included, so that choosing a rule moves nothing.
    const QString shownText = lengthRuleButton->text();
    QStringList choices;
    for (const QAction *choice : lengthRuleChoices->actions())
        choices << choice->text();
    for (const razmnozhator::lengthrules::Preset &preset : razmnozhator::lengthrules::presets())
        choices << razmnozhator::lengthrules::choiceText(preset.fieldRule());
    int ruleButtonWidth = 0;
    for (const QString &choice : choices) {
        lengthRuleButton->setText(ruleButtonText(choice));
        ruleButtonWidth = std::max(ruleButtonWidth, lengthRuleButton->sizeHint().width());
    }
    lengthRuleButton->setText(shownText);
    lengthRuleButton->setMinimumWidth(ruleButtonWidth);
    QSize smallest = minimumSizeHint();
    for (const QLineEdit *field : { minLengthEdit, maxLengthEdit, maxCountEdit })
        smallest.rwidth() += std::max(0, widthForDigits(field) - field->minimumSizeHint().width());
    constexpr int rowsShown = 10;
    const int listHeight = rowsShown * resultList->fontMetrics().height() + 2 * resultList->frameWidth();
    smallest.rheight() += std::max(0, listHeight - resultList->minimumSizeHint().height());
    setMinimumSize(smallest);
    installEventFilter(new MinimumSizeKeeper(this));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (closeConfirmed) {
        event->accept();
    } else if (busy) {
        // The work stops at its next look at the progress; runLong() then closes the window.
        if (!stopAndClose)
            stopAndClose = dialogs->askYesNo(this, tr("Выйти"), tr("Работа ещё идёт. Остановить её и выйти?"));
    } else if (dialogs->askYesNo(this, tr("Выйти"), tr("Вы уверены?"))) {
        event->accept();
    }
}
