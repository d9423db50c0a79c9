#pragma once

// Drives a MainWindow the way a user does, through its named widgets and
// actions, with the recording dialogs injected.

#include <memory>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include "mainwindow.h"
#include "recordingdialogs.h"

// A missing or disabled widget means the window is not what the test expects:
// stop at once with its name rather than crash later on a null pointer.
template <typename T> T *namedChild(QObject *root, const char *name)
{
    T *child = root->findChild<T *>(QString::fromLatin1(name));
    if (!child)
        qFatal("no %s named \"%s\"", T::staticMetaObject.className(), name);
    if constexpr (std::is_base_of_v<QWidget, T> || std::is_base_of_v<QAction, T>) {
        if (!child->isEnabled())
            qFatal("\"%s\" is disabled", name);
    }
    return child;
}

class WindowDriver
{
public:
    WindowDriver()
    {
        auto recording = std::make_unique<RecordingDialogs>();
        dialogs = recording.get();
        window = std::make_unique<MainWindow>(std::move(recording));
        window->resize(700, 500);
    }

    template <typename T> T *child(const char *name) const { return namedChild<T>(window.get(), name); }

    QTextEdit *templateEdit() const { return child<QTextEdit>("templateEdit"); }
    QListView *resultList() const { return child<QListView>("resultList"); }
    QTableView *resultTable() const { return child<QTableView>("resultTable"); }
    QStatusBar *statusLine() const { return child<QStatusBar>("statusLine"); }
    QLineEdit *minLengthEdit() const { return child<QLineEdit>("minLengthEdit"); }
    QLineEdit *maxLengthEdit() const { return child<QLineEdit>("maxLengthEdit"); }
    QLineEdit *maxCountEdit() const { return child<QLineEdit>("maxCountEdit"); }
    QCheckBox *shuffleBox() const { return child<QCheckBox>("shuffleBox"); }

    void click(const char *buttonName) const { child<QPushButton>(buttonName)->click(); }
    void trigger(const char *actionName) const { child<QAction>(actionName)->trigger(); }

    void generate(const QString &templateText) const
    {
        templateEdit()->setPlainText(templateText);
        click("generateButton");
    }

    void restrict(const QString &minLength, const QString &maxLength, const QString &maxCount, bool shuffle) const
    {
        minLengthEdit()->setText(minLength);
        maxLengthEdit()->setText(maxLength);
        maxCountEdit()->setText(maxCount);
        shuffleBox()->setChecked(shuffle);
        click("restrictButton");
    }

    QStringList listTexts() const
    {
        QStringList texts;
        const QAbstractItemModel *rows = resultList()->model();
        for (int row = 0; row < rows->rowCount(); ++row)
            texts.append(rows->index(row, 0).data().toString());
        return texts;
    }

    int rowCount() const { return resultList()->model()->rowCount(); }

    // The left text of the status line, whole: the line count or the line status.
    QString statusText() const { return child<QLabel>("lineStatusLabel")->text(); }

    bool showAndActivate() const
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    std::unique_ptr<MainWindow> window;
    RecordingDialogs *dialogs = nullptr;
};

inline QString countMessage(qsizetype count)
{
    return QStringLiteral("Строк: %1").arg(count);
}
