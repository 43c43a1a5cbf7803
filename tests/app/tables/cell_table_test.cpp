// The tables of a result on hand-drawn masks whose centroids, sizes, speeds and fates are known,
// and `trel measure` writing them.
#include "cell_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "commands.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::Draw;
using trel::testing::ScratchDir;

TEST(CellTable, CellsHaveTheirCentroidsSizesBoxesEdgesAndIntensities) {
  const LabelImage mask = Draw<unsigned short>({"11....",  //
                                                "11..22", "....22"});
  const LabelImage grey = Draw<unsigned short>({"1234..",  //
                                                "5678..", "......"});
  const std::vector<CellRow> rows = MeasureCells(mask, &grey, 4, {{2, 1}});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].label, 1u);
  EXPECT_EQ(rows[0].frame, 4u);
  EXPECT_EQ(rows[0].voxels, 4u);
  EXPECT_DOUBLE_EQ(rows[0].centroid[0], 0.5);
  EXPECT_DOUBLE_EQ(rows[0].centroid[1], 0.5);
  EXPECT_TRUE(rows[0].touches_edge);
  EXPECT_DOUBLE_EQ(*rows[0].total, 1 + 2 + 5 + 6);
  EXPECT_DOUBLE_EQ(*rows[0].max, 6);
  EXPECT_EQ(rows[1].parent, 1u);
  EXPECT_DOUBLE_EQ(rows[1].centroid[0], 4.5);
  EXPECT_EQ(rows[1].low, (std::array<uint64_t, 3>{4, 1, 0}));
  EXPECT_EQ(rows[1].high, (std::array<uint64_t, 3>{5, 2, 0}));
  EXPECT_DOUBLE_EQ(*rows[1].mean, 0);
}

TEST(CellTable, TracksHaveTheirCourseSpeedGenerationAndFate) {
  // Track 1 moves 3 voxels right then 4 down (0.5 um voxels) and divides into 2 and 3; 2 runs
  // to the last frame, 3 stops inside the field, 4 leaves it.
  std::vector<CellRow> cells;
  auto cell = [&](uint64_t label, uint64_t t, double x, double y, bool edge = false) {
    CellRow c;
    c.label = label;
    c.frame = t;
    c.centroid = {x, y, 0};
    c.voxels = 1;
    c.touches_edge = edge;
    cells.push_back(c);
  };
  cell(1, 0, 10, 10), cell(1, 1, 13, 10), cell(1, 2, 13, 14);
  cell(2, 3, 12, 14), cell(2, 4, 12, 15), cell(3, 3, 14, 14), cell(4, 0, 0, 5, true);
  const std::vector<TrackLine> lineage = {
      {1, 0, 2, 0, 0}, {2, 3, 4, 1, 0}, {3, 3, 3, 1, 0}, {4, 0, 0, 0, 0}};
  const std::vector<TrackRow> rows = MeasureTracks(lineage, cells, {0.5, 0.5, 1}, 5);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_DOUBLE_EQ(rows[0].path_length, 3.5);
  EXPECT_DOUBLE_EQ(rows[0].displacement, 2.5);
  EXPECT_DOUBLE_EQ(rows[0].speed, 1.75);
  EXPECT_EQ(rows[0].daughters, 2u);
  EXPECT_EQ(rows[0].fate, Fate::kDivides);
  EXPECT_EQ(rows[1].generation, 1u);
  EXPECT_EQ(rows[1].fate, Fate::kLastFrame);
  EXPECT_EQ(rows[2].fate, Fate::kStops);
  EXPECT_EQ(rows[3].fate, Fate::kLeaves);
  EXPECT_EQ(rows[3].length, 1u);
}

TEST(CellTable, MeasureWritesTheFourTablesOfAResult) {
  ScratchDir dir;
  WriteLabelImage(dir / "mask000.tif", Draw<unsigned short>({"11.", "..."}));
  WriteLabelImage(dir / "mask001.tif", Draw<unsigned short>({".22", ".33"}));
  std::ofstream(dir / "res_track.txt") << "1 0 0 0\n2 1 1 1\n3 1 1 1\n";
  const char* argv[] = {"trel", "measure", dir.path().c_str()};
  std::ostringstream out, err;
  ASSERT_EQ(RunTool(3, argv, out, err), 0) << err.str();
  auto lines = [&](const char* name) {
    std::ifstream in(dir / name);
    std::vector<std::string> all;
    for (std::string l; std::getline(in, l);) all.push_back(l);
    return all;
  };
  EXPECT_EQ(lines("objects.csv").size(), 4u);
  EXPECT_EQ(lines("tracks.csv")[1], "1,0,0,0,2,1,0,0,0,0,divides");
  EXPECT_EQ(lines("napari_tracks.csv"),
            (std::vector<std::string>{"track_id,t,y,x", "1,0,0,0.5", "2,1,0,1.5", "3,1,1,1.5"}));
  std::ifstream graph(dir / "napari_graph.json");
  std::string text((std::istreambuf_iterator<char>(graph)), {});
  EXPECT_NE(text.find("\"3\""), std::string::npos) << text;
}

}  // namespace
}  // namespace trel::tool
