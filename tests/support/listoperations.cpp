#include "listoperations.h"

#include <stdexcept>
#include <string>

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
