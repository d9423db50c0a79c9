#pragma once

// How the length of a line is counted, by name, and the platforms' field
// sizes as presets: one table of each, read by the window and the
// command-line tool alike. The plain rule counts every character; the
// Direct rule leaves the narrow characters uncounted and keeps no line with
// more than 15 of them, as the ad platform does for a title or a text.

#include <cstdint>
#include <optional>
#include <span>

#include <QString>
#include <QStringList>

#include "razmnozhator/lengthrule.h"

namespace razmnozhator::lengthrules {

enum class Rule { Plain, Direct };

// The most narrow characters a line may hold under the Direct rule.
constexpr std::uint32_t mostNarrow = 15;

// The narrow characters of the Direct rule.
QStringView narrowCharacters() noexcept;

// "plain", "direct": the names the tool takes.
QString nameOf(Rule rule);
std::optional<Rule> ruleNamed(QStringView name);
QStringList ruleNames();
// The window's words: "все символы", "как в Директе".
QString choiceText(Rule rule);

// A limit on how many characters of a set a line may hold: Direct's 15
// narrow characters, or a platform's "!".
struct CharacterLimit
{
    const char16_t *characters;
    std::uint32_t most;
    // Direct's own limit, named by its narrow characters rather than quoted.
    bool narrow = false;
};

// Direct's limit on narrow characters.
const CharacterLimit &narrowLimit() noexcept;

// What a field's lines are measured and limited by: the rule of counting,
// and a preset's own limit on a set of characters beside it. A field holds
// one limit at most: Direct's rule and a preset's limit do not go together.
struct FieldRule
{
    Rule rule = Rule::Plain;
    const CharacterLimit *limit = nullptr;

    friend bool operator==(const FieldRule &, const FieldRule &) = default;
};

// Whether the rule and the limit go together.
bool combinable(const FieldRule &field) noexcept;
// The limit that refuses lines under the field's rule, if any.
const CharacterLimit *limitOf(const FieldRule &field) noexcept;

// The engine's rule: the uncounted and the limited characters as CP1251
// bytes. The field's rule and limit must be combinable.
LengthRule lengthRule(const FieldRule &field);

// The length of a line by the rule, or nothing when the rule never keeps it.
std::optional<std::uint64_t> lineLength(QStringView line, const FieldRule &field);

// The window's words for a field's rule: the rule's choice, then its limit:
// "все символы, «!» ≤ 1"; and what a message adds to the bounds: "по
// правилам Директа", "без «!»", "с «!» не больше одного раза".
QString choiceText(const FieldRule &field);
QString wording(const FieldRule &field);
// How a text names a limit: Direct's (%1 the most), or one on other
// characters, quoted (%1 the characters): none of them, one at most (empty:
// as many), or %2 at most.
struct LimitPhrases
{
    QString narrow;
    QString quoted;
    QString none;
    QString one;
    QString many;
};
QString phrased(const CharacterLimit &limit, const LimitPhrases &phrases);

// The window's words for a limit: "без «!»", "не больше 15 узких символов".
QString limitWording(const CharacterLimit &limit);
// What a line past the limit holds: "больше 15 узких символов", "есть «!»",
// "больше одного «!»".
QString overLimitWording(const CharacterLimit &limit);

enum class Platform { Direct, GoogleAds };
// "Директ", "Google Ads": the window's headings of the presets.
QString platformTitle(Platform platform);

// A platform's field: the rule, the length bounds and the limit that fit it.
struct Preset
{
    const char *name;
    Platform platform;
    Rule rule;
    std::uint32_t min;
    std::uint32_t max;
    const CharacterLimit *limit;
    // The window's menu names it so; translated in the window's context.
    const char *title;
    // The tool's help names its parts so: "direct rule, 1 to 56".
    const char *parts;

    FieldRule fieldRule() const noexcept { return { rule, limit }; }
};

std::span<const Preset> presets() noexcept;
const Preset *presetNamed(QStringView name);
QStringList presetNames();
QString presetTitle(const Preset &preset);

} // namespace razmnozhator::lengthrules
