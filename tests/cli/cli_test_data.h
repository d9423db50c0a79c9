#pragma once

// Texts that both the in-process and the end-to-end tests of the tool expect.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace clitest {

inline const QString sampleTemplate
    = QStringLiteral("[Лучшее|Отличное|Прекрасное] решение для { и |[мелкого|малого]|среднего|крупного} бизнеса.");

// The window's sample template expands to these 30 lines, in this order.
inline QByteArray sampleOutput()
{
    QByteArray out;
    for (const char *first : { "Лучшее", "Отличное", "Прекрасное" }) {
        for (const char *pair : { "мелкого и среднего", "малого и среднего", "мелкого и крупного", "малого и крупного",
                 "среднего и мелкого", "среднего и малого", "среднего и крупного", "крупного и мелкого",
                 "крупного и малого", "крупного и среднего" })
            out += QByteArray(first) + " решение для " + pair + " бизнеса.\n";
    }
    return out;
}

// n groups of ten digits: 10^n variants of n characters each.
inline QString digitGroups(int n)
{
    QString text;
    for (int i = 0; i < n; ++i)
        text += QStringLiteral("[0|1|2|3|4|5|6|7|8|9]");
    return text;
}

inline QByteArray lines(const QStringList &variants, char terminator = '\n')
{
    QByteArray out;
    for (const QString &variant : variants)
        out += variant.toUtf8() + terminator;
    return out;
}

} // namespace clitest
