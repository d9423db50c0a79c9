// The window with its real boxes, each closed by ModalCloser: titles, texts,
// icons and buttons as the user sees them, and the answers they give.

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "dialogs.h"
#include "mainwindow.h"
#include "modalcloser.h"
#include "windowdriver.h"

class RealDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void errorBox();
    void closeQuestion_data();
    void closeQuestion();
    void aboutBox();
    void saveDialog_data();
    void saveDialog();
    void cancelledSaveDialog();
    void tooBigQuestion_data();
    void tooBigQuestion();
    void progressView_data();
    void progressView();
};

void RealDialogsTest::errorBox()
{
    MainWindow window;
    window.show();
    namedChild<QTextEdit>(&window, "templateEdit")->setPlainText(QStringLiteral("ab\n{c"));
    ModalCloser closer([](QWidget *modal) { ModalCloser::click(modal, QMessageBox::Abort); });
    namedChild<QPushButton>(&window, "generateButton")->click();

    QVERIFY(closer.seen.seen);
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.seen.className, QStringLiteral("QMessageBox"));
    QCOMPARE(closer.seen.title, QStringLiteral("Error!"));
    QCOMPARE(closer.seen.text, QStringLiteral("Incomplete number of '{}'s"));
    QCOMPARE(closer.seen.icon, QMessageBox::Critical);
    QCOMPARE(closer.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Abort));
    QCOMPARE(closer.seen.buttonTexts, QStringList({ "Прервать" }));
    QVERIFY(!closer.seen.hasDefaultButton);
    QCOMPARE(namedChild<QLabel>(&window, "lineStatusLabel")->text(), QStringLiteral("Строк: 0"));
    QCOMPARE(namedChild<QTextEdit>(&window, "templateEdit")->textCursor().selectedText(), QStringLiteral("{"));
    window.hide();
}

void RealDialogsTest::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Yes closes") << int(QMessageBox::Yes) << true;
    QTest::newRow("No keeps the window") << int(QMessageBox::No) << false;
    QTest::newRow("closing the question keeps the window") << int(QMessageBox::NoButton) << false;
}

void RealDialogsTest::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, closes);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ModalCloser closer([answer](QWidget *modal) {
        if (answer == QMessageBox::NoButton)
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            ModalCloser::click(modal, QMessageBox::StandardButton(answer));
    });
    namedChild<QAction>(&window, "exitAction")->trigger();

    QVERIFY(closer.seen.seen);
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.seen.title, QStringLiteral("Выйти"));
    QCOMPARE(closer.seen.text, QStringLiteral("Вы уверены?"));
    QCOMPARE(closer.seen.icon, QMessageBox::Question);
    QCOMPARE(closer.seen.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(closer.seen.buttonTexts, QStringList({ "&Да", "&Нет" }));
    QVERIFY(!closer.seen.hasDefaultButton);
    QCOMPARE(window.isVisible(), !closes);
    window.hide();
}

void RealDialogsTest::aboutBox()
{
    MainWindow window;
    window.show();
    ModalCloser closer([](QWidget *modal) { ModalCloser::click(modal, QMessageBox::Ok); });
    namedChild<QAction>(&window, "aboutAction")->trigger();

    QVERIFY(closer.seen.seen);
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.seen.title, QStringLiteral("Размножатор v1.0b"));
    QCOMPARE(closer.seen.icon, QMessageBox::Information);
    QCOMPARE(closer.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(closer.seen.buttonTexts, QStringList({ "OK" }));
    QVERIFY(closer.seen.text.endsWith(QStringLiteral("/QT ") + QString::fromLatin1(qVersion())));
    window.hide();
}

void RealDialogsTest::saveDialog_data()
{
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("Windows-1251 unless chosen otherwise") << QString() << QByteArray("a\n\xE1\n");
    QTest::newRow("UTF-8 chosen") << QStringLiteral("All Files, UTF-8 (*)") << QByteArray("a\n\xD0\xB1\n");
}

void RealDialogsTest::saveDialog()
{
    QFETCH(QString, fileType);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("строки"));

    MainWindow window;
    window.show();
    namedChild<QTextEdit>(&window, "templateEdit")->setPlainText(QStringLiteral("[a|б]"));
    namedChild<QPushButton>(&window, "generateButton")->click();
    ModalCloser closer([path, fileType](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        if (!fileType.isEmpty())
            dialog->selectNameFilter(fileType);
        // The dialog leaves the name field alone while the field has the
        // focus, which it takes once the dialog is active.
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus();
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    namedChild<QAction>(&window, "saveAction")->trigger();

    QVERIFY(closer.seen.seen);
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.seen.className, QStringLiteral("QFileDialog"));
    QCOMPARE(closer.seen.title, QStringLiteral("SaveToFile"));
    QCOMPARE(closer.seen.nameFilters,
        QStringList({ "All Files (*)", "Text Files (*.txt)", "All Files, UTF-8 (*)", "Text Files, UTF-8 (*.txt)" }));
    QCOMPARE(closer.seen.selectedNameFilter, QStringLiteral("All Files (*)"));
    QCOMPARE(closer.seen.acceptMode, QFileDialog::AcceptSave);
    QVERIFY(!closer.seen.options.testFlag(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(closer.seen.buttonTexts, QStringList({ "&Сохранить", "Отмена" }));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    window.hide();
}

void RealDialogsTest::cancelledSaveDialog()
{
    MainWindow window;
    window.show();
    namedChild<QPushButton>(&window, "generateButton")->click();
    ModalCloser closer([](QWidget *modal) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    namedChild<QPushButton>(&window, "saveButton")->click();
    QVERIFY(closer.seen.seen);
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.seen.className, QStringLiteral("QFileDialog"));
    QCOMPARE(closer.count, 1);
    QCOMPARE(namedChild<QLabel>(&window, "lineStatusLabel")->text(), QStringLiteral("Строк: 30"));
    window.hide();
}

void RealDialogsTest::tooBigQuestion_data()
{
    QTest::addColumn<QString>("button"); // empty: closed with Escape
    QTest::addColumn<Dialogs::TooBigAnswer>("answer");
    QTest::newRow("random lines") << "randomLinesButton" << Dialogs::TooBigAnswer::RandomLines;
    QTest::newRow("save all") << "saveAllButton" << Dialogs::TooBigAnswer::SaveAll;
    QTest::newRow("cancel") << "cancelButton" << Dialogs::TooBigAnswer::Cancel;
    QTest::newRow("Escape cancels") << "" << Dialogs::TooBigAnswer::Cancel;
}

void RealDialogsTest::tooBigQuestion()
{
    QFETCH(QString, button);
    QFETCH(Dialogs::TooBigAnswer, answer);

    QStringList buttonTexts;
    ModalCloser closer([&](QWidget *modal) {
        for (const QAbstractButton *shown : modal->findChildren<QAbstractButton *>())
            buttonTexts.append(shown->text());
        if (button.isEmpty())
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            namedChild<QAbstractButton>(modal, button.toLatin1().constData())->click();
    });
    QtDialogs dialogs;
    QCOMPARE(dialogs.askTooBig(nullptr, QStringLiteral("Размножатор v1.0b"), QStringLiteral("Много строк")), answer);
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.seen.title, QStringLiteral("Размножатор v1.0b"));
    QCOMPARE(closer.seen.text, QStringLiteral("Много строк"));
    QCOMPARE(closer.seen.icon, QMessageBox::Question);
    buttonTexts.sort();
    QCOMPARE(buttonTexts, QStringList({ "Отмена", "Случайные строки", "Сохранить все в файл..." }));
}

void RealDialogsTest::progressView_data()
{
    QTest::addColumn<quint64>("done");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("maximum"); // 0: a busy bar
    QTest::addColumn<int>("value");

    const QString saving = QStringLiteral("Сохранение в файл\nСтрок: ");
    QTest::newRow("streamed save of 2^100 lines") << quint64(11866112) << "1267650600228229401496703205376"
                                                  << saving + QStringLiteral("11 866 112 из ≈ 1,27·10³⁰") << 0 << 0;
    QTest::newRow("half way") << quint64(500) << "1000" << saving + QStringLiteral("500 из 1000") << 1000 << 500;
    QTest::newRow("below a thousandth") << quint64(999) << "1000000" << saving + QStringLiteral("999 из 1 000 000") << 0
                                        << 0;
    QTest::newRow("a thousandth") << quint64(1000) << "1000000" << saving + QStringLiteral("1000 из 1 000 000") << 1000
                                  << 1;
    QTest::newRow("all of it") << quint64(7) << "7" << saving + QStringLiteral("7 из 7") << 1000 << 1000;
    QTest::newRow("total unknown") << quint64(12345) << "0" << saving + QStringLiteral("12 345") << 0 << 0;
}

void RealDialogsTest::progressView()
{
    QFETCH(quint64, done);
    QFETCH(QString, total);
    QFETCH(QString, label);
    QFETCH(int, maximum);
    QFETCH(int, value);

    QWidget parent;
    QtDialogs dialogs;
    const auto view
        = dialogs.startProgress(&parent, QStringLiteral("Размножатор v1.0b"), QStringLiteral("Сохранение в файл"));
    view->setProgress(done, mpz_class(total.toStdString()));
    const auto *dialog = parent.findChild<QProgressDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->labelText(), label);
    QCOMPARE(dialog->maximum(), maximum);
    QCOMPARE(dialog->value(), value);
}

QTEST_MAIN(RealDialogsTest)
#include "realdialogs_test.moc"
