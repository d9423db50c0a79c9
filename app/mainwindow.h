#pragma once

// The one window of Размножатор. It holds the current result lines and runs
// the six commands on them, each in its own source file: generate, restrict,
// save and copy, line status and About, and beside them the answers to a
// result too big to hold, which only generate calls. What the commands share,
// the fields they read, the showing of the lines and the writing into a
// chosen file, lies in commandhelpers.cpp. Long work runs off the GUI thread
// through the progress runner; the live count and the highlighting are
// classes of their own. Every text the window exchanges with the engine is
// CP1251 bytes, converted only through the shared template text and cp1251
// helpers; every modal box goes through the injected Dialogs.

#include "razmnozhator/variantlist.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include <gmpxx.h>

#include <QMainWindow>

class Dialogs;
class QAbstractItemView;
class QActionGroup;
class DocumentText;
class ElidedLabel;
class FieldTableModel;
class HelpWindow;
class LengthChart;
class QCheckBox;
class QGroupBox;
class QLabel;
class QCloseEvent;
class QLineEdit;
class LineListModel;
class QListView;
class QModelIndex;
class QPushButton;
class QStatusBar;
class QTableView;
class QTextEdit;
class TemplateHighlighter;
class VariantCounter;
class WorkProgress;

namespace razmnozhator {
class CompiledTemplate;
struct LengthRule;
class LimitError;
struct Diversity;
struct LengthRange;
struct RangeFigures;
struct RestrictRules;
namespace cp1251 {
class TemplateText;
}
namespace lengthrules {
enum class Rule;
struct CharacterLimit;
struct FieldRule;
struct Preset;
} // namespace lengthrules
} // namespace razmnozhator

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    explicit MainWindow(std::unique_ptr<Dialogs> dialogs, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Where the window learns how much memory a result may take; the machine's
    // available memory unless a test or the benchmark says otherwise.
    void setMemorySource(std::function<std::uint64_t()> available);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void go();
    void restrict();
    void save();
    void clpbrd();
    void about();
    void status(const QModelIndex &index);
    // The help on templates, opened beside the window.
    void showHelp();

private:
    void createMenus();
    void createWidgets();
    std::array<QPushButton *, 3> createCommandButtons();
    QGroupBox *createRestrictionGroup();
    // The button that names how lengths are counted; its menu chooses the
    // rule or a platform's preset.
    QPushButton *createLengthRuleButton();
    void chooseLengthRule(const razmnozhator::lengthrules::FieldRule &rule);
    void applyPreset(const razmnozhator::lengthrules::Preset &preset);
    void createResultList();
    // The table that shows the lines instead of the list when their fields
    // make one.
    void createResultTable();
    void createLengthChart();
    void createTemplateEdit();
    void chooseTemplateWrapping();
    void createStatusLine();
    void createVariantCounter();
    // Ctrl+Return generates from anywhere in the window.
    void createShortcuts();
    // The smallest size that shows every text of the buttons, the boxes and
    // the labels whole.
    void limitSize();

    // The template as the user typed it, with its line breaks; see commandhelpers.cpp.
    QString templateText() const;
    // Shows the character the template may not hold, if any, and selects it.
    bool reportTextProblem(const razmnozhator::cp1251::TemplateText &encoded);
    // The length fields as a range; an empty field reads as 0.
    std::uint32_t minLength() const;
    std::uint32_t maxLength() const;
    std::uint32_t maxCount() const;
    razmnozhator::LengthRange lengthRange() const;
    // How the lengths are counted, and how a message names it ("по правилам
    // Директа"; nothing for every character).
    razmnozhator::lengthrules::FieldRule lengthRule() const;
    razmnozhator::LengthRule engineLengthRule() const;
    QString lengthRuleWording() const;

    // The answers to a result too big for memory; fields: those of each
    // variant, 1 where they are no table.
    void askWhatToDoWithTooMany(const razmnozhator::CompiledTemplate &compiled, std::uint64_t fields);
    void takeRandomLines(const razmnozhator::CompiledTemplate &compiled, std::uint64_t fields);
    // With "Непохожие": the lines that differ from each other the most.
    void takeDiverseLines(const razmnozhator::CompiledTemplate &compiled, std::uint64_t fields);
    void restrictToDiverse(const razmnozhator::RestrictRules &rules);
    // The count, and how far apart the two closest lines are.
    void showDiversity(const razmnozhator::Diversity &diversity);
    // kept: how many of the variants lie within the lengths; null when that is
    // too costly to find out.
    void saveAllVariants(
        const razmnozhator::CompiledTemplate &compiled, const razmnozhator::RangeFigures *kept, std::uint64_t fields);

    // Runs work through the progress runner and keeps the commands from
    // starting again meanwhile. False when the user cancelled.
    bool runLong(const QString &text, const std::function<bool(WorkProgress &)> &work);
    // What a save writes besides the lines: the fields of each, 1 where they
    // are no table; how many lines, when that is known; and about how many
    // bytes a line holds.
    struct SavedLines
    {
        std::uint64_t fields = 1;
        std::optional<mpz_class> count;
        std::uint64_t lineBytes = 0;
    };
    // Asks for a file name and type and writes what produce hands over to it,
    // through the output rule shared with the tool. Nothing is changed on cancel.
    using LineProducer = std::function<bool(const std::function<bool(std::string_view)> &put, WorkProgress &)>;
    void writeToChosenFile(const SavedLines &saved, const LineProducer &produce);

    // Makes fresh the current lines, shown in the list, or in the table when
    // they have several fields, with the count in the status line.
    void showLines(razmnozhator::VariantList fresh, std::uint64_t fields);
    // The list or the table, whichever shows the lines.
    QAbstractItemView *resultView() const;
    // Only the count: after a refusal the list already shows the current lines.
    void showLineCount();
    // Shows text on the left of the status line; it stays until the next.
    void showStatus(const QString &text);
    // The line status again, measured anew, when it is what the status line shows.
    void refreshLineStatus();

    void showError(const QString &text);
    void showOutOfMemory();
    // Why the engine refused a template as too big to handle, in Russian.
    QString describeLimit(const razmnozhator::LimitError &error) const;
    // Puts an example from the help into the template editor in place of its
    // text, as one edit that Ctrl+Z takes back.
    void useExample(const QString &templateText);
    // Selects characters of the template edit given as an index and length
    // into its plain text, which is how the document counts positions too.
    void selectInTemplate(qsizetype index, qsizetype length);

    QListView *resultList = nullptr;
    QTableView *resultTable = nullptr;
    QTextEdit *templateEdit = nullptr;
    QLineEdit *minLengthEdit = nullptr;
    QLineEdit *maxLengthEdit = nullptr;
    QLineEdit *maxCountEdit = nullptr;
    QStatusBar *statusLine = nullptr;
    QCheckBox *shuffleBox = nullptr;
    QCheckBox *diverseBox = nullptr;
    QPushButton *lengthRuleButton = nullptr;
    QActionGroup *lengthRuleChoices = nullptr;
    // The limit of the preset chosen last, until another rule is chosen.
    const razmnozhator::lengthrules::CharacterLimit *presetLimit = nullptr;
    razmnozhator::VariantList lines;
    // The fields of each line: 1, or those of the table the lines make.
    std::uint64_t lineFields = 1;

    std::unique_ptr<Dialogs> dialogs;
    LineListModel *lineModel = nullptr;
    FieldTableModel *fieldModel = nullptr;
    // The status line's two texts: the line count or the line status on the
    // left, the live count on the right.
    ElidedLabel *lineStatusLabel = nullptr;
    ElidedLabel *variantCountLabel = nullptr;
    // The left text is the line status of the current row, not a count.
    bool lineStatusShown = false;
    HelpWindow *helpWindow = nullptr;
    DocumentText *templateDocumentText = nullptr;
    VariantCounter *variantCounter = nullptr;
    LengthChart *lengthChart = nullptr;
    TemplateHighlighter *templateHighlighter = nullptr;
    // A long command is running; commands that would start meanwhile do nothing.
    bool busy = false;
    // The user asked to close while a long command ran: it stops, then the
    // window closes without asking again.
    bool stopAndClose = false;
    bool closeConfirmed = false;
    std::function<std::uint64_t()> memoryAvailable;
};
