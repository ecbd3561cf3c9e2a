#include "app/render_group.h"

#include <gtest/gtest.h>

namespace glintor {
namespace {

class GroupOf : public SingleProcess {
public:
    GroupOf(int rank, int size) : rank_(rank), size_(size) {}
    int Rank() const override { return rank_; }
    int Size() const override { return size_; }

private:
    int rank_;
    int size_;
};

int Share(int samples, int rank, int size) {
    return GroupOf(rank, size).SampleShare(samples);
}

TEST(RenderGroup, SamplesAreSplitAsEvenlyAsWholeSamplesAllow) {
    EXPECT_EQ(Share(8, 0, 1), 8);
    // 10 over 4 ranks: 3, 3, 2, 2.
    EXPECT_EQ(Share(10, 0, 4), 3);
    EXPECT_EQ(Share(10, 1, 4), 3);
    EXPECT_EQ(Share(10, 2, 4), 2);
    EXPECT_EQ(Share(10, 3, 4), 2);
    // More ranks than samples: the last ones render nothing.
    EXPECT_EQ(Share(3, 2, 4), 1);
    EXPECT_EQ(Share(3, 3, 4), 0);
    for (int size = 1; size <= 9; ++size) {
        for (int samples = 1; samples <= 40; ++samples) {
            int total = 0;
            for (int rank = 0; rank < size; ++rank) {
                const int share = Share(samples, rank, size);
                EXPECT_LE(share - Share(samples, size - 1, size), 1);
                total += share;
            }
            EXPECT_EQ(total, samples) << samples << " over " << size;
        }
    }
}

}  // namespace
}  // namespace glintor
