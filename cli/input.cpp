#include "input.h"

#include <istream>

#include <QFile>
#include <QStringDecoder>

#include "cp1251.h"
#include "failure.h"
#include "options.h"
#include "run.h"

namespace razmnozhator::cli {

namespace {

// The index of the character that starts at utf16Index, a surrogate pair counting once.
qsizetype characterIndex(const QString &text, qsizetype utf16Index)
{
    qsizetype characters = 0;
    for (qsizetype i = 0; i < utf16Index; ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++characters;
    }
    return characters;
}

QByteArray readAll(std::istream &in)
{
    QByteArray data;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        data.append(chunk, in.gcount());
    if (in.bad())
        throw Failure(UsageFailure, tr("cannot read the template from standard input"));
    return data;
}

} // namespace

QString readTemplate(const Options &options, std::istream &in)
{
    if (options.templateText)
        return *options.templateText;

    QByteArray bytes;
    if (options.inputFile.isEmpty() || options.inputFile == QLatin1String("-")) {
        bytes = readAll(in);
    } else {
        QFile file(options.inputFile);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(UsageFailure, tr("cannot read \"%1\": %2").arg(options.inputFile, file.errorString()));
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw Failure(UsageFailure, tr("cannot read \"%1\": %2").arg(options.inputFile, file.errorString()));
    }

    if (options.encoding == Encoding::Cp1251)
        return cp1251::decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));

    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        const qsizetype at = characterIndex(text, text.indexOf(QChar(QChar::ReplacementCharacter)));
        throw Failure(UsageFailure,
            tr("the template is not valid UTF-8 (character %1); use --encoding cp1251 for a CP1251 file").arg(at + 1));
    }
    return text;
}

// Line breaks join the lines directly, as in the window's editor: a template
// file expands as the same text typed there.
std::string templateBytes(QString text)
{
    text.remove(QStringLiteral("\r\n"));
    text.remove(u'\n');
    cp1251::EncodeResult encoded = cp1251::encode(text);
    if (encoded.unencodable) {
        const cp1251::UnencodableCharacter &character = *encoded.unencodable;
        throw Failure(TemplateFailure,
            tr("the character %1 at column %2 cannot be written in CP1251")
                .arg(cp1251::describe(character.codePoint))
                .arg(character.characterIndex + 1));
    }
    return std::move(encoded.bytes);
}

} // namespace razmnozhator::cli
