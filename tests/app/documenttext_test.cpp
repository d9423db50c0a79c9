// The editor's text kept edit by edit must always equal the document's own.

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "documenttext.h"

class DocumentTextTest : public QObject
{
    Q_OBJECT

private slots:
    void followsEdits_data();
    void followsEdits();
};

void DocumentTextTest::followsEdits_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("expected");

    const QChar paragraph = QChar::ParagraphSeparator;
    QTest::newRow("type at the end") << "[a|b]" << 5 << 0 << "x"
                                     << "[a|b]x";
    QTest::newRow("type in the middle") << "[a|b]" << 2 << 0 << "|c"
                                        << "[a|c|b]";
    QTest::newRow("delete a bracket") << "[a|b]" << 0 << 1 << ""
                                      << "a|b]";
    QTest::newRow("replace a selection") << "[a|b]" << 1 << 3 << "xyz"
                                         << "[xyz]";
    QTest::newRow("insert a line break") << "ab" << 1 << 0 << "\n" << QStringLiteral("a%1b").arg(paragraph);
    QTest::newRow("join two lines") << "a\nb" << 1 << 1 << ""
                                    << "ab";
    QTest::newRow("paste lines") << "x" << 1 << 0 << "1\n2\n"
                                 << QStringLiteral("x1") + paragraph + QLatin1Char('2') + paragraph;
    QTest::newRow("non-breaking space kept")
        << "a" << 1 << 0 << QStringLiteral("\u00a0b") << QStringLiteral("a\u00a0b");
    QTest::newRow("clear all") << "a\nb\nc" << 0 << 5 << ""
                               << "";
}

void DocumentTextTest::followsEdits()
{
    QFETCH(QString, start);
    QFETCH(int, position);
    QFETCH(int, removed);
    QFETCH(QString, inserted);
    QFETCH(QString, expected);

    QTextDocument document;
    // A document reports its changes only once it has a layout, as in an editor.
    (void)document.documentLayout();
    document.setPlainText(start);
    const DocumentText text(&document);
    QTextCursor cursor(&document);
    cursor.setPosition(position);
    cursor.setPosition(position + removed, QTextCursor::KeepAnchor);
    cursor.insertText(inserted);
    QCOMPARE(text.text(), expected);
    QCOMPARE(text.text(), document.toRawText());
    document.setPlainText(QStringLiteral("replaced\nwhole"));
    QCOMPARE(text.text(), document.toRawText());
}

QTEST_MAIN(DocumentTextTest)
#include "documenttext_test.moc"
