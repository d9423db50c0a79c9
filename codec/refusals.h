#pragma once

// What the engine refused to build, and why, in words: one table of the
// tasks it may refuse, read by the tool (in English) and by the window (in
// Russian, through the window's translation context).

#include <QString>

namespace razmnozhator {
class LimitError;
}

namespace razmnozhator::refusals {

// "random access to its variants would need about 3.00 GiB, more than the
// 1.00 GiB allowed"; the engine's own message for a refusal of no named task.
QString toolText(const LimitError &error);

// "для поиска строк по номеру нужно около 3 ГиБ памяти, а можно не более 1 ГиБ".
QString windowText(const LimitError &error);

} // namespace razmnozhator::refusals
