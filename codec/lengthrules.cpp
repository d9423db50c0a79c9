#include "lengthrules.h"

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

constexpr Preset presetTable[] = {
    { "direct-title", Rule::Direct, 1, 56, QT_TRANSLATE_NOOP("MainWindow", "Директ: заголовок, 1–56") },
    { "direct-text", Rule::Direct, 1, 81, QT_TRANSLATE_NOOP("MainWindow", "Директ: текст, 1–81") },
    { "google-headline", Rule::Plain, 1, 30, QT_TRANSLATE_NOOP("MainWindow", "Google Ads: заголовок, 1–30") },
    { "google-description", Rule::Plain, 1, 90, QT_TRANSLATE_NOOP("MainWindow", "Google Ads: описание, 1–90") },
};

LengthRule directRule()
{
    LengthRule rule;
    const cp1251::EncodeResult bytes = cp1251::encode(narrowCharacters().toString());
    Q_ASSERT(!bytes.unencodable);
    for (const char byte : bytes.bytes)
        rule.uncounted.set(static_cast<unsigned char>(byte));
    rule.mostUncounted = mostNarrow;
    return rule;
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

QString wording(Rule rule)
{
    return translated(entryOf(rule).wording);
}

QString presetTitle(const Preset &preset)
{
    return translated(preset.title);
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

const LengthRule &lengthRule(Rule rule)
{
    static const LengthRule plain;
    static const LengthRule direct = directRule();
    return rule == Rule::Direct ? direct : plain;
}

std::optional<std::uint64_t> lineLength(QStringView line, Rule rule)
{
    std::uint64_t characters = 0;
    std::uint64_t narrowCount = 0;
    for (qsizetype index = 0; index < line.size(); ++index) {
        // A surrogate pair is one character.
        if (line[index].isLowSurrogate() && index > 0 && line[index - 1].isHighSurrogate())
            continue;
        if (rule == Rule::Direct && narrowCharacters().contains(line[index]))
            ++narrowCount;
        else
            ++characters;
    }
    if (narrowCount > lengthRule(rule).mostUncounted)
        return std::nullopt;
    return characters;
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
