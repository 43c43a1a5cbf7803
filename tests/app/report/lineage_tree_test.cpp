// Lineage layout: daughters right below their parent's row, roots by first frame, and lineages
// that break the rules (loops, parents missing) still laid out, every track once.
#include "lineage_tree.h"

#include <gtest/gtest.h>

#include <set>

namespace trel::tool {
namespace {

std::vector<uint64_t> Order(const std::vector<TreeRow>& rows) {
  std::vector<uint64_t> labels;
  for (const TreeRow& r : rows) labels.push_back(r.track.label);
  return labels;
}

TEST(LineageTreeTest, DaughtersFollowTheirParentDepthFirst) {
  // 2 divides into 4 and 5, 4 into 6 and 7; root 3 begins before root 1.
  const std::vector<TrackLine> lineage{{1, 5, 9, 0, 0}, {2, 0, 3, 0, 0}, {3, 2, 9, 0, 0},
                                       {5, 4, 9, 2, 0}, {4, 4, 6, 2, 0}, {6, 7, 9, 4, 0},
                                       {7, 7, 9, 4, 0}};
  const std::vector<TreeRow> rows = LayOutLineage(lineage);
  EXPECT_EQ(Order(rows), (std::vector<uint64_t>{2, 4, 6, 7, 5, 3, 1}));
  EXPECT_EQ(rows[1].parent_row, 0);
  EXPECT_EQ(rows[2].parent_row, 1);
  EXPECT_EQ(rows[4].parent_row, 0);
  EXPECT_EQ(rows[5].parent_row, -1);
}

TEST(LineageTreeTest, LoopsAndMissingParentsBecomeRoots) {
  const std::vector<TrackLine> lineage{
      {1, 0, 2, 2, 0}, {2, 0, 2, 1, 0}, {3, 4, 5, 9, 0}, {4, 6, 7, 3, 0}};
  const std::vector<TreeRow> rows = LayOutLineage(lineage);
  const std::vector<uint64_t> order = Order(rows);
  EXPECT_EQ(std::set<uint64_t>(order.begin(), order.end()), (std::set<uint64_t>{1, 2, 3, 4}));
  EXPECT_EQ(order.size(), 4u);
  const std::string svg = LineageSvg(lineage, 8);
  EXPECT_NE(svg.find("class='lineage'"), std::string::npos);
  EXPECT_NE(svg.find("track 4: frames 6–7, parent 3"), std::string::npos);
}

}  // namespace
}  // namespace trel::tool
