#pragma once

// VariantList: the ordered result of expanding a template.
//
// Lists of millions of variants are common, so the list keeps every byte of
// every variant in one buffer and remembers where each variant ends; it costs
// eight bytes per variant beyond the text itself. It still behaves as a value:
// copies are independent, order and duplicates are kept.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace razmnozhator {

class VariantList
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        std::string_view operator*() const { return (*list_)[index_]; }
        std::string_view operator[](difference_type n) const { return (*list_)[index_ + n]; }
        const_iterator &operator++()
        {
            ++index_;
            return *this;
        }
        const_iterator operator++(int)
        {
            auto old = *this;
            ++index_;
            return old;
        }
        const_iterator &operator--()
        {
            --index_;
            return *this;
        }
        const_iterator operator--(int)
        {
            auto old = *this;
            --index_;
            return old;
        }
        const_iterator &operator+=(difference_type n)
        {
            index_ += n;
            return *this;
        }
        const_iterator &operator-=(difference_type n)
        {
            index_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator &a, const const_iterator &b)
        {
            return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b) { return a.index_ == b.index_; }
        friend auto operator<=>(const const_iterator &a, const const_iterator &b) { return a.index_ <=> b.index_; }

    private:
        friend class VariantList;
        const_iterator(const VariantList *list, std::size_t index)
            : list_(list)
            , index_(index)
        {
        }
        const VariantList *list_ = nullptr;
        std::size_t index_ = 0;
    };

    VariantList() = default;
    VariantList(std::initializer_list<std::string_view> variants);

    std::size_t size() const noexcept { return ends_.size(); }
    bool empty() const noexcept { return ends_.empty(); }
    // Sum of the lengths of all variants.
    std::size_t byteSize() const noexcept { return bytes_.size(); }
    // Every variant's bytes, one after another.
    std::string_view bytes() const noexcept { return std::string_view(bytes_.data(), bytes_.size()); }

    std::string_view operator[](std::size_t index) const noexcept
    {
        const std::uint64_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(bytes_.data() + begin, ends_[index] - begin);
    }
    std::size_t lengthAt(std::size_t index) const noexcept
    {
        return ends_[index] - (index == 0 ? 0 : ends_[index - 1]);
    }

    const_iterator begin() const noexcept { return const_iterator(this, 0); }
    const_iterator end() const noexcept { return const_iterator(this, size()); }

    // Makes room for that many more variants holding that many more bytes, so
    // that a list filled to a known size holds no spare capacity.
    void reserve(std::size_t moreVariants, std::size_t moreBytes);
    void push_back(std::string_view variant);
    void clear() noexcept;
    void shrink_to_fit();

    // Bytes that the list holds on the heap, spare capacity included.
    std::size_t memoryUsage() const noexcept;

    friend bool operator==(const VariantList &a, const VariantList &b) noexcept
    {
        return a.ends_ == b.ends_ && a.bytes_ == b.bytes_;
    }

private:
    std::vector<char> bytes_;
    std::vector<std::uint64_t> ends_;
};

} // namespace razmnozhator
