// The trel command line: help and version, usage errors (64), and each subcommand's report and
// exit status on small folders.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "app/tool_fixture.h"
#include "commands.h"
#include "support/test_support.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;

struct Outcome {
  int code;
  std::string out, err;
};

Outcome Trel(std::vector<std::string> args) {
  args.insert(args.begin(), "trel");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = RunTool(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(TrelCliTest, HelpAndVersion) {
  const Outcome help = Trel({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* command : {"synth", "validate", "eval", "filter", "preview"})
    EXPECT_TRUE(Contains(help.out, command)) << command;
  const Outcome synth_help = Trel({"synth", "--help"});
  EXPECT_EQ(synth_help.code, 0);
  EXPECT_TRUE(Contains(synth_help.out, "--frames UINT=40"));
  EXPECT_TRUE(Contains(synth_help.out, "--snr FLOAT=6"));
  const Outcome filter_help = Trel({"filter", "--help"});
  EXPECT_TRUE(Contains(filter_help.out, "--sigma FLOAT:NONNEGATIVE=1"));
  EXPECT_TRUE(Contains(filter_help.out, "--steps UINT=5"));
  const Outcome version = Trel({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("trel ", 0), 0u);
}

TEST(TrelCliTest, UsageMistakesExitWith64) {
  EXPECT_EQ(Trel({}).code, kExitUsage);
  EXPECT_EQ(Trel({"frobnicate"}).code, kExitUsage);
  EXPECT_EQ(Trel({"synth"}).code, kExitUsage);  // OUT missing
  const Outcome dim = Trel({"synth", "x", "--dim", "5"});
  EXPECT_EQ(dim.code, kExitUsage);
  EXPECT_TRUE(Contains(dim.err, "--dim")) << dim.err;
  EXPECT_EQ(Trel({"eval", "--gt", "a"}).code, kExitUsage);  // --res missing
  EXPECT_EQ(Trel({"filter", "a", "b", "--sigma", "-1"}).code, kExitUsage);
  EXPECT_EQ(Trel({"synth", "x", "--frames", "many"}).code, kExitUsage);
  // One short sentence, not the parser's range of 309 digits.
  const Outcome huge = Trel({"filter", "a", "b", "--sigma", "abc"});
  EXPECT_EQ(huge.code, kExitUsage);
  EXPECT_TRUE(Contains(huge.err, "must be a finite number of 0 or more, not abc")) << huge.err;
  EXPECT_LT(huge.err.size(), 300u) << huge.err;
}

TEST(TrelCliTest, ValidateReportsEveryViolationAndExits65) {
  ScratchDir dir;
  testing::WriteResult(dir.path(), {{"11.."}, {"...3"}}, "1 0 1 0\n2 1 1 9\n");
  const Outcome o = Trel({"validate", dir.path().string()});
  EXPECT_EQ(o.code, kExitDataError);
  EXPECT_EQ(o.out,
            "tracks, label 2: parent 9 is not a track\n"
            "frame 1, label 1: track is alive but its label is not in the mask\n"
            "frame 1, label 2: track is alive but its label is not in the mask\n"
            "frame 1, label 3: label is in the mask but is not a track\n"
            "4 violation(s) in " +
                dir.path().string() + "\n");
  testing::WriteResult(dir.path(), {{"11.."}, {"11.."}}, "1 0 1 0\n");
  const Outcome good = Trel({"validate", dir.path().string()});
  EXPECT_EQ(good.code, 0);
  EXPECT_EQ(good.out, dir.path().string() + " is consistent\n");
}

TEST(TrelCliTest, ValidateNamesAGapInTheMasks) {
  ScratchDir dir;
  testing::WriteResult(dir.path(), {{"11.."}, {"11.."}, {"11.."}}, "1 0 2 0\n");
  std::filesystem::remove(dir.path() / "mask001.tif");
  const Outcome o = Trel({"validate", dir.path().string()});
  EXPECT_EQ(o.code, kExitDataError);
  EXPECT_TRUE(Contains(o.out, "frame 1: mask is missing, but masks up to mask002.tif are there"))
      << o.out;
}

TEST(TrelCliTest, MissingInputsExitWith66) {
  ScratchDir dir;
  const Outcome validate = Trel({"validate", dir / "none"});
  EXPECT_EQ(validate.code, kExitNoInput);
  EXPECT_EQ(validate.err, "trel validate: result folder " + dir / "none" + " does not exist\n");
  const Outcome eval = Trel({"eval", "--gt", dir / "gt", "--res", dir.path().string()});
  EXPECT_EQ(eval.code, kExitNoInput);
  testing::WriteGroundTruth(dir.path() / "gt", {{"1"}, {"1"}}, "1 0 1 0\n");
  testing::WriteResult(dir.path() / "res", {{"1"}}, "1 0 1 0\n");
  const Outcome short_result = Trel({"eval", "--gt", dir / "gt", "--res", dir / "res"});
  EXPECT_EQ(short_result.code, kExitNoInput);
  EXPECT_EQ(short_result.err, "trel eval: " + dir / "res/mask001.tif" +
                                  " is missing (the ground truth needs masks of frames 0-1)\n");
}

TEST(TrelCliTest, EvalPrintsTableOrJson) {
  ScratchDir dir;
  const std::vector<testing::Drawing> frames = {{"11..22.."}, {"11..22.."}};
  testing::WriteGroundTruth(dir.path() / "gt", frames, "1 0 1 0\n2 0 1 0\n");
  testing::WriteResult(dir.path() / "res", {{"11..22.."}, {"11......"}}, "1 0 1 0\n2 0 0 0\n");
  const Outcome table = Trel({"eval", "--gt", dir / "gt", "--res", dir / "res"});
  EXPECT_EQ(table.code, 0) << table.err;
  EXPECT_TRUE(Contains(table.out, "DET      0.750000\n")) << table.out;
  EXPECT_TRUE(Contains(table.out, "SEG      n/a\n"));
  EXPECT_TRUE(Contains(table.out, "false negative (FN)                 1   10.0         10.0\n"))
      << table.out;
  const Outcome json = Trel({"eval", "--gt", dir / "gt", "--res", dir / "res", "--json"});
  EXPECT_EQ(json.code, 0);
  const nlohmann::json j = nlohmann::json::parse(json.out);
  EXPECT_EQ(j["DET"].get<double>(), 0.75);
  EXPECT_DOUBLE_EQ(j["TRA"].get<double>(), 1.0 - 11.5 / 43.0);
  EXPECT_TRUE(j["SEG"].is_null());
  EXPECT_TRUE(j["OP_CTB"].is_null());
  EXPECT_EQ(j["AOGM_FN"].get<int>(), 1);
  EXPECT_EQ(j["AOGM_EA"].get<int>(), 1);
  EXPECT_DOUBLE_EQ(j["LNK"].get<double>(), 1.0 - 1.5 / 3.0);
}

TEST(TrelCliTest, EvalRefusesAnInconsistentResult) {
  ScratchDir dir;
  testing::WriteGroundTruth(dir.path() / "gt", {{"11"}}, "1 0 0 0\n");
  testing::WriteResult(dir.path() / "res", {{"12"}}, "1 0 0 0\n");
  const Outcome o = Trel({"eval", "--gt", dir / "gt", "--res", dir / "res"});
  EXPECT_EQ(o.code, kExitDataError);
  EXPECT_EQ(o.err, "trel eval: the result in " + dir / "res" +
                       " breaks 1 consistency rule(s): frame 0, label 2: label is in the mask but "
                       "is not a track (trel validate lists them all)\n");
}

TEST(TrelCliTest, EvalWithoutLineageGivesDetButNoTra) {
  ScratchDir dir;
  testing::WriteGroundTruth(dir.path() / "gt", {{"11"}}, "1 0 0 0\n");
  testing::WriteFrames(dir.path() / "res", "mask", {{"11"}});
  const Outcome o = Trel({"eval", "--gt", dir / "gt", "--res", dir / "res", "--json"});
  EXPECT_EQ(o.code, 0) << o.err;
  const nlohmann::json j = nlohmann::json::parse(o.out);
  EXPECT_EQ(j["DET"].get<double>(), 1.0);
  EXPECT_TRUE(j["TRA"].is_null());
  EXPECT_TRUE(j["AOGM_ED"].is_null());
}

TEST(TrelCliTest, EvalRefusesWhatValidateRefuses) {
  ScratchDir dir;
  testing::WriteGroundTruth(dir.path() / "gt", {{"11"}}, "1 0 0 0\n");
  testing::WriteResult(dir.path() / "res", {{"11"}}, "1 0 0 0\n");
  trel::testing::Draw<unsigned char>({"11"}).SaveImage((dir.path() / "res/mask000.tif").c_str());
  const Outcome o = Trel({"eval", "--gt", dir / "gt", "--res", dir / "res"});
  EXPECT_EQ(o.code, kExitDataError);
  EXPECT_TRUE(Contains(o.err, "frame 0: mask is 8-bit, not 16-bit")) << o.err;
}

TEST(TrelCliTest, EvalBlamesTheGroundTruthForItsOwnFiles) {
  ScratchDir dir;
  testing::WriteGroundTruth(dir.path() / "gt", {{"11"}, {"11"}}, "1 0 1 0\n");
  testing::WriteResult(dir.path() / "res", {{"11"}, {"11"}}, "1 0 1 0\n");
  const auto eval = [&] { return Trel({"eval", "--gt", dir / "gt", "--res", dir / "res"}); };
  testing::WriteText(dir.path() / "gt/TRA/man_track.txt", "1 0 one 0\n");
  Outcome o = eval();
  EXPECT_EQ(o.code, kExitDataError);
  EXPECT_TRUE(Contains(o.err, "trel eval: ground truth: ")) << o.err;
  EXPECT_TRUE(Contains(o.err, "man_track.txt")) << o.err;
  testing::WriteText(dir.path() / "gt/TRA/man_track.txt", "1 0 1 0\n");
  testing::WriteText(dir.path() / "gt/TRA/man_track001.tif", "not a TIFF");
  o = eval();
  EXPECT_EQ(o.code, kExitDataError);
  EXPECT_TRUE(Contains(o.err, "ground truth: cannot read " + dir / "gt/TRA/man_track001.tif"))
      << o.err;
  std::filesystem::remove(dir.path() / "gt/TRA/man_track.txt");
  o = eval();
  EXPECT_EQ(o.code, kExitNoInput);
  EXPECT_TRUE(Contains(o.err, "ground truth: cannot read " + dir / "gt/TRA/man_track.txt"))
      << o.err;
}

TEST(TrelCliTest, SynthThenPreview) {
  ScratchDir dir;
  const Outcome synth = Trel({"synth", dir / "data", "--size", "64", "--frames", "3", "--cells",
                              "4", "--preview", dir / "p.png"});
  EXPECT_EQ(synth.code, 0) << synth.err;
  EXPECT_TRUE(Contains(synth.out, "wrote 3 frames of 64x64 to " + dir / "data/01"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "p.png"));
  const Outcome preview = Trel({"preview", dir / "data", dir / "q.png", "--frame", "2"});
  EXPECT_EQ(preview.code, 0) << preview.err;
  EXPECT_EQ(preview.out, "wrote " + dir / "q.png" + " (frame 2, slice 0, outlined)\n");
  EXPECT_EQ(Trel({"preview", dir / "data", dir / "r.png", "--frame", "9"}).code, kExitNoInput);
  EXPECT_EQ(Trel({"preview", dir / "data", dir / "r.png", "--slice", "1"}).code, kExitUsage);
  const Outcome cannot = Trel({"synth", dir / "p.png/x", "--size", "32", "--frames", "1"});
  EXPECT_EQ(cannot.code, kExitCannotCreate);
}

}  // namespace
}  // namespace trel::tool
