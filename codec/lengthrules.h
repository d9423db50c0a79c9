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
// The window's words: "все символы", "как в Директе"; and "по правилам
// Директа" for a message counting by the rule, nothing for the plain one.
QString choiceText(Rule rule);
QString wording(Rule rule);

// The engine's rule: the narrow characters as CP1251 bytes.
const LengthRule &lengthRule(Rule rule);

// The length of a line by the rule, or nothing when the rule never keeps it.
std::optional<std::uint64_t> lineLength(QStringView line, Rule rule);

// A platform's field: the rule and the length bounds that fit it.
struct Preset
{
    const char *name;
    Rule rule;
    std::uint32_t min;
    std::uint32_t max;
    // The window's menu names it so; translated in the window's context.
    const char *title;
};

std::span<const Preset> presets() noexcept;
const Preset *presetNamed(QStringView name);
QStringList presetNames();
QString presetTitle(const Preset &preset);

} // namespace razmnozhator::lengthrules
