#include "razmnozhator/variantlist.h"

#include <limits>
#include <stdexcept>

namespace razmnozhator {

namespace {

std::size_t checkedProduct(std::size_t a, std::size_t b)
{
    std::size_t product;
    if (__builtin_mul_overflow(a, b, &product))
        throw std::length_error("variant list too large");
    return product;
}

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

std::vector<std::string> VariantList::toStrings() const
{
    std::vector<std::string> strings;
    strings.reserve(size());
    for (const auto variant : *this)
        strings.emplace_back(variant);
    return strings;
}

VariantList concatVariants(const VariantList &a, const VariantList &b)
{
    VariantList result;
    result.reserve(checkedSum(a.size(), b.size()), checkedSum(a.byteSize(), b.byteSize()));
    for (const auto variant : a)
        result.push_back(variant);
    for (const auto variant : b)
        result.push_back(variant);
    return result;
}

VariantList &appendVariants(VariantList &a, const VariantList &b)
{
    a = concatVariants(a, b);
    return a;
}

VariantList combineVariants(const VariantList &a, const VariantList &b)
{
    VariantList result;
    result.reserve(checkedProduct(a.size(), b.size()),
        checkedSum(checkedProduct(a.byteSize(), b.size()), checkedProduct(b.byteSize(), a.size())));
    std::string joined;
    for (const auto first : a) {
        for (const auto second : b) {
            joined.assign(first);
            joined.append(second);
            result.push_back(joined);
        }
    }
    return result;
}

VariantList &combineInPlace(VariantList &a, const VariantList &b)
{
    a = combineVariants(a, b);
    return a;
}

VariantList prefixVariants(std::string_view prefix, const VariantList &list)
{
    return combineVariants(VariantList { prefix }, list);
}

} // namespace razmnozhator
