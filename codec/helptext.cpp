#include "helptext.h"

#include <QRegularExpression>

namespace razmnozhator::helptext {

namespace {

using Kind = Block::Kind;

// The literal runs of a line of text: odd pieces were between backquotes.
QStringList pieces(const QString &text)
{
    return text.split(u'`');
}

QString htmlInline(const QString &text)
{
    QString html;
    const QStringList parts = pieces(text);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString escaped = parts[i].toHtmlEscaped();
        html += i % 2 ? QStringLiteral("<code>%1</code>").arg(escaped) : escaped;
    }
    return html;
}

// Text as roff reads it: a backslash and a hyphen are written as escapes,
// and a line may not start with a control character.
QString roffEscaped(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\e"));
    escaped.replace(u'-', QStringLiteral("\\-"));
    if (escaped.startsWith(u'.') || escaped.startsWith(u'\''))
        escaped.prepend(QStringLiteral("\\&"));
    return escaped;
}

QString roffInline(const QString &text)
{
    QString roff;
    const QStringList parts = pieces(text);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString escaped = roffEscaped(parts[i]);
        roff += i % 2 ? QStringLiteral("\\fB%1\\fR").arg(escaped) : escaped;
    }
    if (roff.startsWith(u'.') || roff.startsWith(u'\''))
        roff.prepend(QStringLiteral("\\&"));
    return roff;
}

} // namespace

QList<Block> parse(const QString &source)
{
    QList<Block> blocks;
    // A paragraph or an example goes on while its lines do.
    bool open = false;
    for (const QString &rawLine : source.split(u'\n')) {
        const QString line = rawLine.endsWith(u'\r') ? rawLine.chopped(1) : rawLine;
        if (line.trimmed().isEmpty()) {
            open = false;
            continue;
        }
        if (line.startsWith(QStringLiteral("== "))) {
            blocks.append({ Kind::Section, line.mid(3).trimmed(), {} });
            open = false;
        } else if (line.startsWith(QStringLiteral("= "))) {
            blocks.append({ Kind::Title, line.mid(2).trimmed(), {} });
            open = false;
        } else if (line.startsWith(QStringLiteral("> ")) || line == u">") {
            const QString text = line.mid(2);
            if (open && blocks.last().kind == Kind::Example)
                blocks.last().text += u'\n' + text;
            else
                blocks.append({ Kind::Example, text, {} });
            open = true;
        } else if (line.startsWith(QStringLiteral("* "))) {
            const qsizetype split = line.indexOf(QStringLiteral(" :: "));
            const QString term = split < 0 ? line.mid(2) : line.mid(2, split - 2);
            const QString detail = split < 0 ? QString() : line.mid(split + 4);
            blocks.append({ Kind::Entry, term.trimmed(), detail.trimmed() });
            open = false;
        } else if (open && blocks.last().kind == Kind::Paragraph) {
            blocks.last().text += u' ' + line.trimmed();
        } else {
            blocks.append({ Kind::Paragraph, line.trimmed(), {} });
            open = true;
        }
    }
    return blocks;
}

QStringList examples(const QList<Block> &blocks)
{
    QStringList found;
    for (const Block &block : blocks) {
        if (block.kind == Kind::Example)
            found.append(block.text);
    }
    return found;
}

QString toHtml(const QList<Block> &blocks)
{
    QString html;
    qsizetype example = 0;
    bool inList = false;
    for (const Block &block : blocks) {
        if (inList && block.kind != Kind::Entry) {
            html += QStringLiteral("</table>\n");
            inList = false;
        }
        switch (block.kind) {
        case Kind::Title:
            html += QStringLiteral("<h1>%1</h1>\n").arg(htmlInline(block.text));
            break;
        case Kind::Section:
            html += QStringLiteral("<h2>%1</h2>\n").arg(htmlInline(block.text));
            break;
        case Kind::Paragraph:
            html += QStringLiteral("<p>%1</p>\n").arg(htmlInline(block.text));
            break;
        case Kind::Example: {
            // A tab shows as an arrow, so that it is seen; the link carries the text itself.
            QString shown = block.text.toHtmlEscaped();
            shown.replace(u'\t', QStringLiteral("&#8677;"));
            shown.replace(u'\n', QStringLiteral("<br>"));
            html += QStringLiteral("<p style=\"margin-left:16px\"><code>%1</code><br>"
                                   "<a href=\"example:%2\">В шаблон</a></p>\n")
                        .arg(shown)
                        .arg(example++);
            break;
        }
        case Kind::Entry:
            if (!inList) {
                html += QStringLiteral("<table cellpadding=\"2\">\n");
                inList = true;
            }
            html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>\n")
                        .arg(htmlInline(block.text), htmlInline(block.detail));
            break;
        }
    }
    if (inList)
        html += QStringLiteral("</table>\n");
    return html;
}

QString toRoff(const QList<Block> &blocks)
{
    QString roff;
    bool first = true;
    for (const Block &block : blocks) {
        switch (block.kind) {
        case Kind::Title:
            break;
        case Kind::Section:
            roff += QStringLiteral(".SH \"%1\"\n").arg(roffEscaped(block.text.toUpper()));
            first = true;
            break;
        case Kind::Paragraph:
            if (first)
                first = false;
            else
                roff += QStringLiteral(".PP\n");
            roff += roffInline(block.text) + u'\n';
            break;
        case Kind::Example: {
            if (!first)
                roff += QStringLiteral(".PP\n");
            first = false;
            roff += QStringLiteral(".RS\n.EX\n");
            for (const QString &line : block.text.split(u'\n'))
                roff += roffEscaped(line) + u'\n';
            roff += QStringLiteral(".EE\n.RE\n");
            break;
        }
        case Kind::Entry:
            roff += QStringLiteral(".TP\n.B \"%1\"\n%2\n").arg(roffEscaped(block.text), roffInline(block.detail));
            first = false;
            break;
        }
    }
    return roff;
}

} // namespace razmnozhator::helptext
