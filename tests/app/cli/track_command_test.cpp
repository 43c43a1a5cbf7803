// `trel track`: a synthetic sequence tracked with the defaults gives a result that passes the
// community's rules and matches its ground truth well; failures map to their exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "commands.h"
#include "output_lock.h"
#include "support/test_support.h"
#include "track_file.h"

namespace {

using trel::testing::ScratchDir;
namespace tool = trel::tool;

int Tool(std::vector<std::string> args, std::string* out_text = nullptr) {
  std::vector<const char*> argv = {"trel"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = tool::RunTool(int(argv.size()), argv.data(), out, err);
  if (out_text) *out_text = out.str();
  return status;
}

TEST(TrackCommand, TracksASyntheticSequenceIntoAValidResult) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "128", "--frames", "6", "--cells", "6",
                  "--seed", "3"}),
            0);
  std::string summary;
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res"), "--json"}, &summary), 0);
  const nlohmann::json j = nlohmann::json::parse(summary);
  EXPECT_EQ(j["frames"], 6);
  EXPECT_EQ(j["slices"], 1);
  EXPECT_EQ(j["method"], "levelset");
  EXPECT_EQ(j["parameters"]["fg_weight"], 1.0);
  EXPECT_GT(j["tracks"].get<int>(), 0);
  // The doubtful parts, counted from the lineage as the summary counts them.
  const std::vector<tool::TrackLine> tracks = tool::ReadTrackFile(dir / "res/res_track.txt");
  EXPECT_EQ(j["short_tracks"], std::count_if(tracks.begin(), tracks.end(),
                                             [](const auto& t) { return t.end - t.begin < 2; }));
  EXPECT_LE(j["divisions_losing_a_daughter"].get<int>(), j["divisions"].get<int>());
  EXPECT_EQ(Tool({"validate", (dir / "res"), "--gt", (dir / "01_GT")}), 0);
  std::string scores;
  ASSERT_EQ(Tool({"eval", "--gt", (dir / "01_GT"), "--res", (dir / "res"), "--json"}, &scores), 0);
  EXPECT_NO_THROW(nlohmann::json::parse(scores));
}

// The accuracy both methods reach with their defaults on one fixed synthetic sequence (12 frames
// of 256x256, 22 tracks, 5 divisions), a little below what they reach today: a change that
// costs accuracy shows here first.
TEST(TrackCommand, AccuracyGateOnAFixedSyntheticSequence) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "256", "--frames", "12", "--cells", "12",
                  "--seed", "3"}),
            0);
  struct Gate {
    const char* method;
    double seg, tra;
  };
  for (const Gate& gate : {Gate{"levelset", 0.75, 0.91}, Gate{"graphcut", 0.78, 0.90}}) {
    SCOPED_TRACE(gate.method);
    const std::string res = (dir / (std::string("res-") + gate.method));
    ASSERT_EQ(Tool({"track", (dir / "01"), res, "--method", gate.method}), 0);
    std::string scores;
    ASSERT_EQ(Tool({"eval", "--gt", (dir / "01_GT"), "--res", res, "--json"}, &scores), 0);
    const nlohmann::json s = nlohmann::json::parse(scores);
    EXPECT_GT(s["SEG"].get<double>(), gate.seg);
    EXPECT_GT(s["TRA"].get<double>(), gate.tra);
  }
}

TEST(TrackCommand, StacksGetTheirOwnDefaultsAndAGivenWeightWins) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--dim", "3", "--size", "64", "--depth", "8",
                  "--frames", "2", "--cells", "3", "--seed", "5"}),
            0);
  std::string summary;
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res"), "--json"}, &summary), 0);
  nlohmann::json j = nlohmann::json::parse(summary);
  EXPECT_EQ(j["slices"], 8);
  EXPECT_EQ(j["parameters"]["fg_weight"], 3.0);
  EXPECT_EQ(j["parameters"]["min_size"], 500);
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res"), "--json", "--fg-weight", "1.5"}, &summary),
            0);
  j = nlohmann::json::parse(summary);
  EXPECT_EQ(j["parameters"]["fg_weight"], 1.5);
}

TEST(TrackCommand, TheGraphCutMethodGivesAValidResultWithALineage) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "128", "--frames", "4", "--cells", "5",
                  "--divisions", "0", "--seed", "4"}),
            0);
  std::string summary;
  ASSERT_EQ(
      Tool({"track", (dir / "01"), (dir / "res"), "--method", "graphcut", "--json"}, &summary), 0);
  const nlohmann::json j = nlohmann::json::parse(summary);
  EXPECT_EQ(j["parameters"]["fg_weight"], 30.0);  // the graph cut's own default
  EXPECT_TRUE(std::filesystem::exists(dir / "res/res_track.txt"));
  EXPECT_EQ(Tool({"validate", (dir / "res"), "--gt", (dir / "01_GT")}), 0);
}

TEST(TrackCommand, TheGraphCutMethodGivesDividedCellsTheirOwnLabels) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "256", "--frames", "10", "--cells", "8",
                  "--seed", "1"}),
            0);
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res"), "--method", "graphcut"}), 0);
  EXPECT_EQ(Tool({"validate", (dir / "res"), "--gt", (dir / "01_GT")}), 0);
  const std::vector<tool::TrackLine> tracks = tool::ReadTrackFile(dir / "res/res_track.txt");
  EXPECT_TRUE(std::any_of(tracks.begin(), tracks.end(),
                          [](const tool::TrackLine& t) { return t.parent != 0; }));
}

TEST(TrackCommand, MissingInputAndBadOptionsHaveTheirStatus) {
  ScratchDir dir;
  EXPECT_EQ(Tool({"track", (dir / "none"), (dir / "res")}), tool::kExitNoInput);
  std::filesystem::create_directories(dir / "empty");
  EXPECT_EQ(Tool({"track", (dir / "empty"), (dir / "res")}), tool::kExitNoInput);
  EXPECT_EQ(Tool({"track", (dir / "empty"), (dir / "res"), "--curv-weight", "0"}),
            tool::kExitUsage);
  EXPECT_EQ(Tool({"track", (dir / "empty"), (dir / "res"), "--method", "magic"}), tool::kExitUsage);
  // Counts never wrap, weights are finite: each is refused before any work.
  for (const auto& [option, value] :
       std::vector<std::pair<std::string, std::string>>{{"--min-size", "-1"},
                                                        {"--border", "-1"},
                                                        {"--overlap", "-3"},
                                                        {"--frames", "-1"},
                                                        {"--curv-weight", "nan"},
                                                        {"--bg-weight", "1e400"},
                                                        {"--fg-weight", "inf"}}) {
    SCOPED_TRACE(option + " " + value);
    EXPECT_EQ(Tool({"track", (dir / "empty"), (dir / "res"), option, value}), tool::kExitUsage);
  }
}

TEST(TrackCommand, AShorterRerunLeavesNoMasksOfTheLongerOne) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "64", "--frames", "5", "--cells", "2"}),
            0);
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res")}), 0);
  ASSERT_TRUE(std::filesystem::exists(dir / "res/mask004.tif"));
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res"), "--frames", "3"}), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "res/mask003.tif"));
  EXPECT_FALSE(std::filesystem::exists(dir / "res/mask004.tif"));
  EXPECT_EQ(Tool({"validate", (dir / "res")}), 0);
}

TEST(TrackCommand, FourDigitFrameNamesGiveFourDigitMasks) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "64", "--frames", "3", "--cells", "2"}),
            0);
  for (int t = 0; t < 3; ++t) {
    const std::string from = "01/t00" + std::to_string(t) + ".tif";
    std::filesystem::rename(dir / from, dir / ("01/t000" + std::to_string(t) + ".tif"));
  }
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res")}), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "res/mask0002.tif"));
  EXPECT_EQ(Tool({"validate", (dir / "res")}), 0);
}

TEST(TrackCommand, ProgressInALogIsAPlainLineEveryTenthOfTheRun) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "64", "--frames", "20", "--cells", "2"}),
            0);
  tool::TrackOptions o;
  o.in = dir.path() / "01";
  o.out = dir.path() / "res";
  std::ostringstream out, err;
  for (const std::string mode : {"auto", "never"}) {
    o.progress = mode;
    ASSERT_EQ(tool::RunTrack(o, out, err, false), 0);
    EXPECT_EQ(err.str(), "") << mode;  // no terminal: nothing unless asked
  }
  o.progress = "always";
  ASSERT_EQ(tool::RunTrack(o, out, err, false), 0);
  const std::string log = err.str();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 10) << log;
  EXPECT_EQ(log.find('\r'), std::string::npos);
  EXPECT_NE(log.find("trel track: frame 20/20, "), std::string::npos) << log;
}

TEST(TrackCommand, ASecondRunIntoTheSameFolderIsRefused) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "64", "--frames", "3", "--cells", "2"}),
            0);
  std::filesystem::create_directories(dir / "res");
  // An interrupted run's temporaries, cleared by the next run that holds the folder.
  for (const char* stale : {".mask001.tif.4242.0.0badf00d.part", "res_track.txt.part-4242-3",
                            "res_track.txt.tmp-4242-0"})
    std::ofstream(dir / (std::string("res/") + stale)) << "half";
  {
    const tool::OutputLock held(dir / "res");
    EXPECT_EQ(Tool({"track", (dir / "01"), (dir / "res")}), tool::kExitCannotCreate);
    EXPECT_FALSE(std::filesystem::exists(dir / "res/mask000.tif"));
  }
  ASSERT_EQ(Tool({"track", (dir / "01"), (dir / "res")}), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "res/.mask001.tif.4242.0.0badf00d.part"));
  EXPECT_FALSE(std::filesystem::exists(dir / "res/res_track.txt.part-4242-3"));
  EXPECT_FALSE(std::filesystem::exists(dir / "res/res_track.txt.tmp-4242-0"));
}

TEST(TrackCommand, AGapInTheFrameNumbersIsNamed) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "64", "--frames", "5", "--cells", "2"}),
            0);
  std::filesystem::remove(dir / "01/t002.tif");
  EXPECT_EQ(Tool({"track", (dir / "01"), (dir / "res")}), tool::kExitNoInput);
  EXPECT_FALSE(std::filesystem::exists(dir / "res/mask000.tif"));
}

TEST(TrackCommand, AFrameMissingHalfWayIsReported) {
  ScratchDir dir;
  ASSERT_EQ(Tool({"synth", dir.path().string(), "--size", "96", "--frames", "4", "--cells", "3"}),
            0);
  EXPECT_EQ(Tool({"track", (dir / "01"), (dir / "res"), "--frames", "6"}), tool::kExitNoInput);
  EXPECT_TRUE(std::filesystem::exists(dir / "res/mask003.tif"));
  EXPECT_FALSE(std::filesystem::exists(dir / "res/res_track.txt"));
}

}  // namespace
