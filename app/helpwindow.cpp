#include "helpwindow.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "helptext.h"

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    QFile source(QStringLiteral(":/help/templates.txt"));
    const bool opened = source.open(QIODevice::ReadOnly);
    // The text is built in; it is always there.
    Q_ASSERT(opened);
    const QList<razmnozhator::helptext::Block> blocks
        = razmnozhator::helptext::parse(QString::fromUtf8(source.readAll()));
    const QStringList examples = razmnozhator::helptext::examples(blocks);

    browser = new QTextBrowser;
    browser->setObjectName(QStringLiteral("helpBrowser"));
    // The links are the examples', not places to go.
    browser->setOpenLinks(false);
    browser->setHtml(razmnozhator::helptext::toHtml(blocks));
    connect(browser, &QTextBrowser::anchorClicked, this, [this, examples](const QUrl &link) {
        bool number = false;
        const qsizetype index = link.path().toLongLong(&number);
        if (link.scheme() == u"example" && number && index >= 0 && index < examples.size())
            emit exampleChosen(examples[index]);
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    setWindowTitle(tr("Как писать шаблоны"));
    resize(640, 560);
}
