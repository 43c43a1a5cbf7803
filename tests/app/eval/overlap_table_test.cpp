// Overlap tables on drawn label images, and against a brute-force count on random ones.
#include "overlap_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::Draw;

OverlapTable Count(const std::vector<std::string>& reference,
                   const std::vector<std::string>& result) {
  const auto a = Draw<unsigned short>(reference), b = Draw<unsigned short>(result);
  OverlapCounter counter;
  return counter.Count(a.begin(), b.begin(), a.GetImageSize());
}

TEST(OverlapTableTest, CountsLabelsAndPairsOfADrawing) {
  const OverlapTable t = Count({"11.22",   //
                                "11.22",   //
                                "..333"},  //
                               {"1111.",   //
                                ".1.55",   //
                                "...55"});
  ASSERT_EQ(t.reference.size(), 3u);
  EXPECT_EQ(t.reference[0].label, 1);
  EXPECT_EQ(t.reference[0].voxels, 4u);
  EXPECT_EQ(t.reference[1].voxels, 4u);
  EXPECT_EQ(t.reference[2].voxels, 3u);
  ASSERT_EQ(t.result.size(), 2u);
  EXPECT_EQ(t.result[0].label, 1);
  EXPECT_EQ(t.result[0].voxels, 5u);
  EXPECT_EQ(t.result[1].label, 5);
  EXPECT_EQ(t.result[1].voxels, 4u);
  ASSERT_EQ(t.pairs.size(), 4u);
  const std::vector<std::tuple<int, int, int>> expected = {
      {1, 1, 3}, {2, 1, 1}, {2, 5, 2}, {3, 5, 2}};
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(t.pairs[k].reference, std::get<0>(expected[k]));
    EXPECT_EQ(t.pairs[k].result, std::get<1>(expected[k]));
    EXPECT_EQ(t.pairs[k].voxels, static_cast<uint64_t>(std::get<2>(expected[k])));
  }
  EXPECT_EQ(t.ResultVoxels(5), 4u);
  EXPECT_EQ(t.ResultVoxels(2), 0u);
}

TEST(OverlapTableTest, EdgeCases) {
  const OverlapTable empty = Count({"..."}, {"..."});
  EXPECT_TRUE(empty.reference.empty() && empty.result.empty() && empty.pairs.empty());
  const OverlapTable disjoint = Count({"1.."}, {"..1"});
  EXPECT_EQ(disjoint.reference.size(), 1u);
  EXPECT_EQ(disjoint.result.size(), 1u);
  EXPECT_TRUE(disjoint.pairs.empty());
  // The counter's buffers are reused: a second count must not see the first one's labels.
  OverlapCounter counter;
  const auto a = Draw<unsigned short>({"12"}), b = Draw<unsigned short>({"34"});
  counter.Count(a.begin(), b.begin(), 2);
  const OverlapTable again = counter.Count(b.begin(), a.begin(), 2);
  ASSERT_EQ(again.reference.size(), 2u);
  EXPECT_EQ(again.reference[0].label, 3);
  EXPECT_EQ(counter.CountLabels(a.begin(), 2).size(), 2u);
}

TEST(OverlapTableTest, HighestLabelsAreKeptApart) {
  const unsigned short reference[] = {65535, 65535, 1, 0};
  const unsigned short result[] = {65535, 1, 65535, 65535};
  OverlapCounter counter;
  const OverlapTable t = counter.Count(reference, result, 4);
  ASSERT_EQ(t.pairs.size(), 3u);
  EXPECT_EQ(t.pairs[0].reference, 1);
  EXPECT_EQ(t.pairs[0].result, 65535);
  EXPECT_EQ(t.pairs[2].reference, 65535);
  EXPECT_EQ(t.pairs[2].result, 65535);
  EXPECT_EQ(t.ResultVoxels(65535), 3u);
}

TEST(OverlapTableTest, MatchesBruteForceOnRandomImages) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> label(0, 6);
  OverlapCounter counter;
  for (int round = 0; round < 20; ++round) {
    std::vector<unsigned short> a(500), b(500);
    for (size_t k = 0; k < a.size(); ++k) {
      // Runs of equal labels, as inside objects, with random breaks.
      a[k] = (k > 0 && random() % 4) ? a[k - 1] : static_cast<unsigned short>(label(random));
      b[k] = (k > 0 && random() % 4) ? b[k - 1] : static_cast<unsigned short>(label(random));
    }
    std::map<std::pair<int, int>, uint64_t> pairs;
    std::map<int, uint64_t> sizes_a, sizes_b;
    for (size_t k = 0; k < a.size(); ++k) {
      if (a[k]) ++sizes_a[a[k]];
      if (b[k]) ++sizes_b[b[k]];
      if (a[k] && b[k]) ++pairs[{a[k], b[k]}];
    }
    const OverlapTable t = counter.Count(a.data(), b.data(), a.size());
    ASSERT_EQ(t.pairs.size(), pairs.size());
    size_t k = 0;
    for (const auto& [key, voxels] : pairs) {
      EXPECT_EQ(t.pairs[k].reference, key.first);
      EXPECT_EQ(t.pairs[k].result, key.second);
      EXPECT_EQ(t.pairs[k].voxels, voxels);
      ++k;
    }
    ASSERT_EQ(t.reference.size(), sizes_a.size());
    for (const LabelCount& c : t.reference) EXPECT_EQ(c.voxels, sizes_a[c.label]);
    for (const LabelCount& c : t.result) EXPECT_EQ(c.voxels, sizes_b[c.label]);
  }
}

}  // namespace
}  // namespace trel::tool
