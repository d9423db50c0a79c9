#pragma once

// The one window of Размножатор. It holds the current result lines and runs
// the six commands on them, each in its own source file: generate and the
// list refresh, restrict, save and copy, line status and About. Every text the
// window exchanges with the engine is CP1251 bytes, converted only through
// the cp1251 helper; every modal box goes through the injected Dialogs.

#include "razmnozhator/variantlist.h"

#include <memory>

#include <QMainWindow>

class Dialogs;
class QCheckBox;
class QCloseEvent;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QStatusBar;
class QTextEdit;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    explicit MainWindow(std::unique_ptr<Dialogs> dialogs, QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void go();
    void restrict();
    void save();
    void clpbrd();
    void about();
    void status(QListWidgetItem *item);

private:
    void createMenus();
    void createWidgets();
    void refreshList();

    void showError(const QString &text);
    void showOutOfMemory();
    // Selects characters of the template edit given as an index and length
    // into its plain text, which is how the document counts positions too.
    void selectInTemplate(qsizetype index, qsizetype length);

    QListWidget *resultList = nullptr;
    QTextEdit *templateEdit = nullptr;
    QLineEdit *minLengthEdit = nullptr;
    QLineEdit *maxLengthEdit = nullptr;
    QLineEdit *maxCountEdit = nullptr;
    QStatusBar *statusLine = nullptr;
    QCheckBox *shuffleBox = nullptr;
    razmnozhator::VariantList lines;

    std::unique_ptr<Dialogs> dialogs;
};
