#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <vector>

// A growing array kept in fixed pages of 2^kPageBits elements. Growing never moves what is
// stored: a std::vector of the receive area's line index doubles by copying it whole into
// fresh memory, which at 16 MB held the window ~50 ms and at 64 MB ~200 ms. Indexing costs
// one more load than a vector's. Not thread-safe; the owner's thread rules apply.
template <typename T, unsigned kPageBits = 12>
class PagedVector {
public:
    static constexpr size_t kPageSize = size_t{1} << kPageBits;

    PagedVector() = default;
    PagedVector(std::initializer_list<T> values) {
        for (const T& v : values) push_back(v);
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    size_t capacity() const { return m_pages.size() * kPageSize; }

    T& operator[](size_t i) { return m_pages[i >> kPageBits][i & (kPageSize - 1)]; }
    const T& operator[](size_t i) const { return m_pages[i >> kPageBits][i & (kPageSize - 1)]; }
    T& back() { return (*this)[m_size - 1]; }
    const T& back() const { return (*this)[m_size - 1]; }

    void push_back(const T& value) {
        if (m_size == capacity()) m_pages.push_back(std::make_unique<T[]>(kPageSize));
        (*this)[m_size++] = value;
    }
    void pop_back() { resize(m_size - 1); }
    // New elements are value-initialised; pages no longer used are freed.
    void resize(size_t n) {
        const size_t pages = (n + kPageSize - 1) >> kPageBits;
        // What a shrink leaves in a kept page must read as new if the array grows again.
        for (size_t i = n; i < std::min(m_size, pages * kPageSize); ++i) (*this)[i] = T{};
        const size_t had = m_pages.size();
        m_pages.resize(pages);
        for (size_t p = had; p < pages; ++p) m_pages[p] = std::make_unique<T[]>(kPageSize);
        m_size = n;
    }

    // The first index in [from, size()) at which `pred` is false, where `pred` is true for
    // every element before it and false for every one after: std::partition_point by index.
    template <typename Pred>
    size_t PartitionPoint(size_t from, Pred pred) const {
        size_t count = m_size - from;
        while (count > 0) {
            const size_t half = count / 2;
            if (pred((*this)[from + half])) {
                from += half + 1;
                count -= half + 1;
            } else {
                count = half;
            }
        }
        return from;
    }

private:
    std::vector<std::unique_ptr<T[]>> m_pages;
    size_t m_size = 0;
};
