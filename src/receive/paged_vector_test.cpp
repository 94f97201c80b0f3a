#include "receive/paged_vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// Random growth, shrinking and searches against a std::vector, with pages of four so every
// operation crosses page borders.
TEST(PagedVector, BehavesAsAVectorAcrossPageBorders) {
    std::mt19937 random(12);
    PagedVector<uint64_t, 2> paged;
    std::vector<uint64_t> model;
    for (int step = 0; step < 20000; ++step) {
        switch (random() % 6) {
            case 0: case 1: case 2:
                // Sorted, as the line and row indexes are, so searches have a partition.
                model.push_back((model.empty() ? 0 : model.back()) + random() % 3);
                paged.push_back(model.back());
                break;
            case 3:
                if (!model.empty()) {
                    model.pop_back();
                    paged.pop_back();
                }
                break;
            case 4: {  // a shrink then a regrowth reads value-initialised, as a vector's does
                const size_t n = random() % (model.size() + 9);
                model.resize(n);
                paged.resize(n);
                break;
            }
            default: {
                const uint64_t value = model.empty() ? 0 : random() % (model.back() + 2);
                const size_t from = random() % (model.size() + 1);
                const size_t expected = static_cast<size_t>(
                    std::partition_point(model.begin() + static_cast<ptrdiff_t>(from), model.end(),
                                         [value](uint64_t v) { return v <= value; }) -
                    model.begin());
                // A resize can leave zeros after sorted values: search only sorted prefixes.
                if (std::is_sorted(model.begin() + static_cast<ptrdiff_t>(from), model.end())) {
                    ASSERT_EQ(paged.PartitionPoint(from, [value](uint64_t v) { return v <= value; }), expected);
                }
            }
        }
        ASSERT_EQ(paged.size(), model.size()) << "step " << step;
        ASSERT_GE(paged.capacity(), paged.size());
        ASSERT_LT(paged.capacity(), paged.size() + 4) << "unused pages are freed";
        for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(paged[i], model[i]) << "step " << step;
    }
}

TEST(PagedVector, GrowingNeverMovesWhatIsStored) {
    PagedVector<int, 3> paged{1, 2, 3};
    const int* first = &paged[0];
    for (int i = 0; i < 1000; ++i) paged.push_back(i);
    EXPECT_EQ(&paged[0], first);
    EXPECT_EQ(paged[2], 3);
    EXPECT_EQ(paged.back(), 999);
}

}  // namespace
