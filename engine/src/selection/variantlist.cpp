#include "razmnozhator/variantlist.h"

#include <limits>
#include <stdexcept>

namespace razmnozhator {

namespace {

std::size_t checkedSum(std::size_t a, std::size_t b)
{
    std::size_t sum;
    if (__builtin_add_overflow(a, b, &sum))
        throw std::length_error("variant list too large");
    return sum;
}

} // namespace

VariantList::VariantList(std::initializer_list<std::string_view> variants)
{
    std::size_t bytes = 0;
    for (const auto variant : variants)
        bytes += variant.size();
    reserve(variants.size(), bytes);
    for (const auto variant : variants)
        push_back(variant);
}

void VariantList::reserve(std::size_t moreVariants, std::size_t moreBytes)
{
    bytes_.reserve(checkedSum(bytes_.size(), moreBytes));
    ends_.reserve(checkedSum(ends_.size(), moreVariants));
}

void VariantList::push_back(std::string_view variant)
{
    bytes_.insert(bytes_.end(), variant.begin(), variant.end());
    ends_.push_back(bytes_.size());
}

void VariantList::clear() noexcept
{
    bytes_.clear();
    ends_.clear();
}

void VariantList::shrink_to_fit()
{
    bytes_.shrink_to_fit();
    ends_.shrink_to_fit();
}

std::size_t VariantList::memoryUsage() const noexcept
{
    return bytes_.capacity() + ends_.capacity() * sizeof(std::uint64_t);
}

} // namespace razmnozhator
