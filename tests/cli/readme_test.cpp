// The README's examples of the tool, run through the built tool so that they
// cannot drift from what it prints: every indented line "$ razmnozhator-cli
// ..." is run in a folder holding the files the README names, and the
// indented lines under it are what it must write (standard output and
// standard error together).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "cli_test_data.h"

namespace {

struct Example
{
    QString command;
    QByteArray output;
};

QList<Example> readmeExamples()
{
    QFile file(QStringLiteral(README_PATH));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", README_PATH);
    const QString indent = QStringLiteral("    ");
    QList<Example> examples;
    bool inExample = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(indent + QStringLiteral("$ razmnozhator-cli "))) {
            examples.append({ line.mid(indent.size() + 2), {} });
            inExample = true;
        } else if (inExample && line.startsWith(indent) && !line.startsWith(indent + u'$')) {
            examples.last().output += line.mid(indent.size()).toUtf8() + '\n';
        } else {
            inExample = false;
        }
    }
    return examples;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

} // namespace

class ReadmeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void examplesPrintWhatTheyShow_data();
    void examplesPrintWhatTheyShow();

private:
    QTemporaryDir dir;
};

void ReadmeTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QFile::link(QStringLiteral(RAZMNOZHATOR_CLI), dir.filePath(QStringLiteral("razmnozhator-cli"))));
    writeFile(dir.filePath(QStringLiteral("ad.txt")), clitest::sampleTemplate.toUtf8() + '\n');
    writeFile(dir.filePath(QStringLiteral("big.txt")), clitest::digitGroups(100).toUtf8() + '\n');
    writeFile(dir.filePath(QStringLiteral("ml.txt")), "first line [a|b]\nsecond line\nthird [oops\n");
}

void ReadmeTest::examplesPrintWhatTheyShow_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("output");
    const QList<Example> examples = readmeExamples();
    QVERIFY2(examples.size() >= 6, "the README's examples were not found");
    for (const Example &example : examples)
        QTest::newRow(qPrintable(example.command)) << example.command << example.output;
}

void ReadmeTest::examplesPrintWhatTheyShow()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, output);

    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), dir.path() + u':' + environment.value(QStringLiteral("PATH")));
    shell.setProcessEnvironment(environment);
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), command });
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.readAll(), output);
}

QTEST_GUILESS_MAIN(ReadmeTest)
#include "readme_test.moc"
