// Every measure and count of `trel eval --json` against the community's reference evaluator on
// golden cases: the hand-built ones kept in tests/app/eval/golden_cases, and, when the shared data
// are there, the realistic ones beside them (threshold-pipeline and tracker results on real and
// crowded synthetic sequences).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "eval_report.h"
#include "evaluation.h"

namespace trel::tool {
namespace {

const std::filesystem::path kProjectRoot = std::filesystem::path(TREL_TESTS_DIR).parent_path();
constexpr double kTolerance = 1e-6;

// The case's ground truth: its own GT folder, or the folder a GT file names relative to the
// project root.
std::filesystem::path GroundTruthOf(const std::filesystem::path& case_dir) {
  const std::filesystem::path gt = case_dir / "GT";
  if (std::filesystem::is_directory(gt)) return gt;
  std::string relative;
  std::ifstream(gt) >> relative;
  return kProjectRoot / relative;
}

bool IsCount(const std::string& key) {
  return key.starts_with("AOGM_") || key.find("_div") != std::string::npos || key == "gt_divisions";
}

// Differences of one case as readable lines; empty when it agrees.
std::string CompareCase(const std::filesystem::path& case_dir, const nlohmann::json& expected) {
  const std::filesystem::path gt = GroundTruthOf(case_dir);
  if (!std::filesystem::exists(gt)) return "";  // its sequence is not in this checkout
  const nlohmann::json ours = ToJson(Evaluate(gt, case_dir / "RES"));
  std::string differences;
  for (const auto& [key, value] : expected.items()) {
    const bool absent = !ours.contains(key) || ours[key].is_null();
    if (value.is_null()) {
      if (!absent) differences += "  " + key + ": " + ours[key].dump() + ", expected null\n";
      continue;
    }
    const double want = value.get<double>();
    const double got = absent ? NAN : ours[key].get<double>();
    const bool agrees = IsCount(key) ? got == want : std::abs(got - want) <= kTolerance;
    if (!agrees)
      differences += "  " + key + ": " + (absent ? "null" : ours[key].dump()) + ", expected " +
                     value.dump() + "\n";
  }
  return differences;
}

void ExpectGoldenCases(const std::filesystem::path& root) {
  const nlohmann::json expected = nlohmann::json::parse(std::ifstream(root / "expected.json"));
  ASSERT_FALSE(expected.empty());
  for (const auto& [name, measures] : expected.items())
    EXPECT_EQ(CompareCase(root / name, measures), "") << name;
}

TEST(EvalGoldenTest, HandBuiltCases) {
  ExpectGoldenCases(std::filesystem::path(TREL_TESTS_DIR) / "app" / "eval" / "golden_cases");
}

TEST(EvalGoldenTest, SharedCases) {
  const std::filesystem::path root = std::filesystem::path(TREL_SHARED_DATA) / ".." / "eval-golden";
  if (!std::filesystem::exists(root / "expected.json")) GTEST_SKIP() << "shared data absent";
  ExpectGoldenCases(root);
}

}  // namespace
}  // namespace trel::tool
