#pragma once

// A template's fields: the parts of a variant between its tabs, as a table's
// columns. A template makes a table only when every variant has the same
// number of fields, which a group breaks when its choices hold different
// numbers of tabs.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace razmnozhator {

// The first group whose choices give variants different numbers of fields,
// in the order in which groups close. what() says it in English; the fields
// let a front end word it itself.
class FieldCountError : public std::runtime_error
{
public:
    FieldCountError(std::size_t offset, std::uint64_t fields, std::uint64_t otherFields);

    // Byte offset of the group's opener in the text that was checked.
    std::size_t offset() const noexcept { return offset_; }
    // The fields of two of its choices, the earlier one first.
    std::uint64_t fields() const noexcept { return fields_; }
    std::uint64_t otherFields() const noexcept { return otherFields_; }

private:
    std::size_t offset_;
    std::uint64_t fields_;
    std::uint64_t otherFields_;
};

// The number of fields of every variant: one more than its tabs. Throws
// FieldCountError when variants differ in it, and TemplateError for an
// unclosed group.
std::uint64_t fieldCount(std::string_view text);

} // namespace razmnozhator
