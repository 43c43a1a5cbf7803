// The tracking graph: track links follow presence, parent links join a parent's last vertex to
// its daughters' first ones, across gaps too.
#include "track_graph.h"

#include <gtest/gtest.h>

namespace trel::tool {
namespace {

std::vector<std::string> Describe(const std::vector<Edge>& edges) {
  std::vector<std::string> text;
  for (const Edge& e : edges)
    text.push_back(std::to_string(e.from.label) + "@" + std::to_string(e.from.frame) +
                   (e.kind == LinkKind::kTrack ? " -> " : " => ") + std::to_string(e.to.label) +
                   "@" + std::to_string(e.to.frame));
  return text;
}

TEST(TrackGraphTest, TrackAndParentLinks) {
  // Frames: {1}, {1}, {2, 3}, {2}, {}, {4}; 4 is a daughter of 2 after a gap.
  const Presence presence({{1}, {1}, {2, 3}, {2}, {}, {4}});
  EXPECT_EQ(presence.VertexCount(), 6u);
  EXPECT_EQ(presence.Labels(), (std::vector<uint16_t>{1, 2, 3, 4}));
  EXPECT_EQ(presence.Frames(2), (std::vector<uint64_t>{2, 3}));
  const std::vector<TrackLine> tracks = {
      {1, 0, 1, 0, 1}, {2, 2, 3, 1, 2}, {3, 2, 2, 1, 3}, {4, 5, 5, 2, 4}};
  EXPECT_EQ(Describe(BuildEdges(tracks, presence)),
            (std::vector<std::string>{"1@0 -> 1@1", "2@2 -> 2@3", "1@1 => 2@2", "1@1 => 3@2",
                                      "2@3 => 4@5"}));
}

TEST(TrackGraphTest, LinksOfAbsentTracksAreLeftOut) {
  const Presence presence({{1}, {}});
  const std::vector<TrackLine> tracks = {{1, 0, 0, 0, 1}, {2, 1, 1, 1, 2}, {3, 0, 0, 70000, 3}};
  EXPECT_TRUE(BuildEdges(tracks, presence).empty());
  // A label present in frames 0 and 2 only is one chain across the gap.
  EXPECT_EQ(Describe(BuildEdges({}, Presence({{5}, {}, {5}}))),
            (std::vector<std::string>{"5@0 -> 5@2"}));
}

}  // namespace
}  // namespace trel::tool
