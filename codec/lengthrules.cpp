#include "lengthrules.h"

#include <bitset>

#include <QCoreApplication>
#include <QtGlobal>

#include "cp1251.h"

namespace razmnozhator::lengthrules {

namespace {

// The one place that says which characters are narrow: a platform that
// changes its list changes this line.
constexpr char16_t narrow[] = u".,!:;\"«»";

struct RuleEntry
{
    Rule rule;
    const char *name;
    // The window's choice of the rule, and how a message names it.
    const char *choice;
    const char *wording;
};

constexpr RuleEntry rules[] = {
    { Rule::Plain, "plain", QT_TRANSLATE_NOOP("MainWindow", "все символы"), "" },
    { Rule::Direct, "direct", QT_TRANSLATE_NOOP("MainWindow", "как в Директе"),
        QT_TRANSLATE_NOOP("MainWindow", "по правилам Директа") },
};

const RuleEntry &entryOf(Rule rule)
{
    for (const RuleEntry &entry : rules) {
        if (entry.rule == rule)
            return entry;
    }
    // Every rule has its row.
    Q_UNREACHABLE();
    return rules[0];
}

QString translated(const char *text)
{
    return *text ? QCoreApplication::translate("MainWindow", text) : QString();
}

constexpr CharacterLimit narrow15 { narrow, mostNarrow, true };
constexpr CharacterLimit noExclamation { u"!", 0 };
constexpr CharacterLimit oneExclamation { u"!", 1 };

constexpr Preset presetTable[] = {
    { "direct-title", Platform::Direct, Rule::Direct, 1, 56, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: заголовок, 1–56"), "direct rule, 1 to 56" },
    { "direct-title2", Platform::Direct, Rule::Direct, 1, 30, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: второй заголовок, 1–30"), "direct rule, 1 to 30" },
    { "direct-text", Platform::Direct, Rule::Direct, 1, 81, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: текст, 1–81"), "direct rule, 1 to 81" },
    { "direct-display-link", Platform::Direct, Rule::Plain, 1, 20, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: отображаемая ссылка, 1–20"), "1 to 20" },
    { "direct-sitelink", Platform::Direct, Rule::Direct, 1, 30, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: быстрая ссылка, 1–30"), "direct rule, 1 to 30" },
    { "direct-sitelink-description", Platform::Direct, Rule::Direct, 1, 60, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: описание быстрой ссылки, 1–60"), "direct rule, 1 to 60" },
    { "direct-callout", Platform::Direct, Rule::Direct, 1, 25, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Директ: уточнение, 1–25"), "direct rule, 1 to 25" },
    { "google-headline", Platform::GoogleAds, Rule::Plain, 1, 30, &noExclamation,
        QT_TRANSLATE_NOOP("MainWindow", "Google Ads: заголовок, 1–30, без «!»"), "1 to 30, no \"!\"" },
    { "google-description", Platform::GoogleAds, Rule::Plain, 1, 90, &oneExclamation,
        QT_TRANSLATE_NOOP("MainWindow", "Google Ads: описание, 1–90, не больше одного «!»"),
        "1 to 90, at most one \"!\"" },
    { "google-path", Platform::GoogleAds, Rule::Plain, 1, 15, nullptr,
        QT_TRANSLATE_NOOP("MainWindow", "Google Ads: путь, 1–15"), "1 to 15" },
};

// The characters of a limit as CP1251 bytes.
std::bitset<256> bytesOf(const CharacterLimit &limit)
{
    std::bitset<256> set;
    const cp1251::EncodeResult bytes = cp1251::encode(QString::fromUtf16(limit.characters));
    Q_ASSERT(!bytes.unencodable);
    for (const char byte : bytes.bytes)
        set.set(static_cast<unsigned char>(byte));
    return set;
}

} // namespace

QStringView narrowCharacters() noexcept
{
    return QStringView(narrow, std::size(narrow) - 1);
}

QString nameOf(Rule rule)
{
    return QLatin1String(entryOf(rule).name);
}

QString choiceText(Rule rule)
{
    return translated(entryOf(rule).choice);
}

std::optional<Rule> ruleNamed(QStringView name)
{
    for (const RuleEntry &entry : rules) {
        if (name == QLatin1String(entry.name))
            return entry.rule;
    }
    return std::nullopt;
}

QStringList ruleNames()
{
    QStringList names;
    for (const RuleEntry &entry : rules)
        names << QLatin1String(entry.name);
    return names;
}

const CharacterLimit &narrowLimit() noexcept
{
    return narrow15;
}

bool combinable(const FieldRule &field) noexcept
{
    return !(field.rule == Rule::Direct && field.limit);
}

const CharacterLimit *limitOf(const FieldRule &field) noexcept
{
    return field.rule == Rule::Direct ? &narrow15 : field.limit;
}

QString phrased(const CharacterLimit &limit, const LimitPhrases &phrases)
{
    if (limit.narrow)
        return phrases.narrow.arg(limit.most);
    const QString characters = phrases.quoted.arg(QString::fromUtf16(limit.characters));
    if (limit.most == 0)
        return phrases.none.arg(characters);
    if (limit.most == 1 && !phrases.one.isEmpty())
        return phrases.one.arg(characters);
    return phrases.many.arg(characters).arg(limit.most);
}

QString limitWording(const CharacterLimit &limit)
{
    return phrased(limit,
        { QCoreApplication::translate("MainWindow", "не больше %1 узких символов"), QStringLiteral("«%1»"),
            QCoreApplication::translate("MainWindow", "без %1"),
            QCoreApplication::translate("MainWindow", "с %1 не больше одного раза"),
            QCoreApplication::translate("MainWindow", "с %1 не больше %2 раз") });
}

QString overLimitWording(const CharacterLimit &limit)
{
    return phrased(limit,
        { QCoreApplication::translate("MainWindow", "больше %1 узких символов"), QStringLiteral("«%1»"),
            QCoreApplication::translate("MainWindow", "есть %1"),
            QCoreApplication::translate("MainWindow", "больше одного %1"),
            QCoreApplication::translate("MainWindow", "больше %2 %1") });
}

QString choiceText(const FieldRule &field)
{
    const QString rule = choiceText(field.rule);
    if (!field.limit)
        return rule;
    // Short enough for the button at the window's smallest width.
    const QString limit = phrased(*field.limit,
        { {}, QStringLiteral("«%1»"), QCoreApplication::translate("MainWindow", "без %1"), {},
            QCoreApplication::translate("MainWindow", "%1 ≤ %2") });
    return QStringLiteral("%1, %2").arg(rule, limit);
}

QString wording(const FieldRule &field)
{
    const QString rule = translated(entryOf(field.rule).wording);
    if (!field.limit)
        return rule;
    const QString limit = limitWording(*field.limit);
    return rule.isEmpty() ? limit : QStringLiteral("%1, %2").arg(rule, limit);
}

QString platformTitle(Platform platform)
{
    return platform == Platform::Direct ? QCoreApplication::translate("MainWindow", "Директ")
                                        : QStringLiteral("Google Ads");
}

LengthRule lengthRule(const FieldRule &field)
{
    Q_ASSERT(combinable(field));
    LengthRule rule;
    if (field.rule == Rule::Direct)
        rule.uncounted = bytesOf(narrow15);
    if (const CharacterLimit *limit = limitOf(field)) {
        rule.limited = bytesOf(*limit);
        rule.mostLimited = limit->most;
    }
    return rule;
}

std::optional<std::uint64_t> lineLength(QStringView line, const FieldRule &field)
{
    const CharacterLimit *limit = limitOf(field);
    const QStringView limited = limit ? QStringView(limit->characters) : QStringView();
    std::uint64_t characters = 0;
    std::uint64_t limitedCount = 0;
    for (qsizetype index = 0; index < line.size(); ++index) {
        // A surrogate pair is one character.
        if (line[index].isLowSurrogate() && index > 0 && line[index - 1].isHighSurrogate())
            continue;
        if (!(field.rule == Rule::Direct && narrowCharacters().contains(line[index])))
            ++characters;
        if (limited.contains(line[index]))
            ++limitedCount;
    }
    if (limit && limitedCount > limit->most)
        return std::nullopt;
    return characters;
}

QString presetTitle(const Preset &preset)
{
    return translated(preset.title);
}

std::span<const Preset> presets() noexcept
{
    return presetTable;
}

const Preset *presetNamed(QStringView name)
{
    for (const Preset &preset : presetTable) {
        if (name == QLatin1String(preset.name))
            return &preset;
    }
    return nullptr;
}

QStringList presetNames()
{
    QStringList names;
    for (const Preset &preset : presetTable)
        names << QLatin1String(preset.name);
    return names;
}

} // namespace razmnozhator::lengthrules
