#pragma once

// The help on the template language, written once in a plain text of our own
// and shown two ways: as the window's help page, whose examples go into the
// template editor by a click, and as the Russian manual page of the tool.
//
// The text is made of blocks parted by blank lines:
//   "= Title"          the page's title
//   "== Heading"       a section
//   "> template"       an example; consecutive lines are one template with
//                      its line breaks
//   "* term :: words"  an entry of a list of terms, such as keys
// and paragraphs otherwise, whose lines are joined with spaces. Inside a
// paragraph or an entry, `text` is literal: an option or a template.

#include <QList>
#include <QString>
#include <QStringList>

namespace razmnozhator::helptext {

struct Block
{
    enum class Kind { Title, Section, Paragraph, Example, Entry };
    Kind kind = Kind::Paragraph;
    QString text;
    // An entry's words after "::".
    QString detail;
};

QList<Block> parse(const QString &source);

// The examples, in order; the page links the n-th to "example:n".
QStringList examples(const QList<Block> &blocks);

// A page for a text browser.
QString toHtml(const QList<Block> &blocks);

// The sections of a manual page, from DESCRIPTION on: the title becomes the
// page's NAME line elsewhere, so it is left out.
QString toRoff(const QList<Block> &blocks);

} // namespace razmnozhator::helptext
