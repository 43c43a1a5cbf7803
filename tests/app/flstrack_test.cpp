// The console of flstrack, byte for byte: notices, usage line, parameter checks in position
// order, the library's failures printed without a newline, and the exit status of each case.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "parse_number.h"
#include "support/test_support.h"
#include "voxa/image3d.h"

namespace {

using trel::testing::ScratchDir;

struct Outcome {
  std::string output;
  int status;
};

std::string Quote(const std::string& s) {
  std::string q(1, '\'');
  for (char c : s) {
    if (c == '\'')
      q.append("'\\''");
    else
      q.push_back(c);
  }
  q.push_back('\'');
  return q;
}

Outcome RunFlstrack(const std::vector<std::string>& args) {
  std::string command = FLSTRACK_PATH;
  for (const std::string& a : args) {
    command.push_back(' ');
    command.append(Quote(a));
  }
  command.append(" 2>/dev/null");
  FILE* pipe = popen(command.c_str(), "r");
  Outcome o{"", -1};
  if (!pipe) return o;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) o.output.append(buffer, n);
  const int raw = pclose(pipe);
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return o;
}

std::string Notices() {
  std::ifstream in(std::string(TREL_TESTS_DIR) + "/app/golden/flstrack_notices.txt",
                   std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

constexpr int kFailure = 255;  // -1 as an exit status

// Eleven arguments with the given ones replaced, by position (1 = in_folder).
std::vector<std::string> Args(std::vector<std::pair<int, std::string>> changes = {}) {
  std::vector<std::string> a = {
      "/no/such/folder", "/tmp", "1", "3", "1", "1", "1", "50", "10", "2", "0"};
  for (const auto& [position, text] : changes) a[size_t(position - 1)] = text;
  return a;
}

const std::string kMissingFrame0 =
    "Frame i=0: Image data cannot be loaded! (voxa::IOException: Cannot open file "
    "'/no/such/folder/t000.tif' (No such file or directory))";

TEST(Flstrack, WrongArgumentCountsPrintTheUsageLine) {
  const std::string usage = std::string("Usage: ") + FLSTRACK_PATH +
                            " in_folder out_folder num_slices num_frames curv_weight fg_weight "
                            "bg_weight max_iter min_size overlap border\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>(12, "1"), {"a", "b"}}) {
    const Outcome o = RunFlstrack(args);
    EXPECT_EQ(o.output, Notices() + usage);
    EXPECT_EQ(o.status, kFailure);
  }
}

TEST(Flstrack, ReportsTheFirstFailingParameterOnly) {
  struct Case {
    int position;
    std::string text;
    std::string word;
  } cases[] = {
      {3, "0", "positive"},      {3, "-3", "positive"},     {3, "abc", "positive"},
      {4, "0", "positive"},      {5, "0", "positive"},      {6, "-1e-3", "positive"},
      {7, "0.0", "positive"},    {8, "0", "positive"},      {9, "-1", "nonnegative"},
      {10, "-5", "nonnegative"}, {11, "-1", "nonnegative"}, {4, "-99999999999", "positive"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " at " + std::to_string(c.position));
    const Outcome o = RunFlstrack(Args({{c.position, c.text}}));
    EXPECT_EQ(o.output, Notices() + "Input parameter " + std::to_string(c.position) + ": Only " +
                            c.word + " numbers supported!");
    EXPECT_EQ(o.status, kFailure);
  }
  const Outcome both = RunFlstrack(Args({{3, "0"}, {11, "-1"}}));
  EXPECT_EQ(both.output, Notices() + "Input parameter 3: Only positive numbers supported!");
}

TEST(Flstrack, AcceptedParametersReachTheLibrary) {
  // Each of these passes the checks; the run then fails on the missing frame 0.
  const std::vector<std::pair<int, std::string>> accepted[] = {{{9, "0"}, {10, "0"}, {11, "0"}},
                                                               {{9, "-0"}},
                                                               {{3, "2.7"}},
                                                               {{5, "1e-50"}},
                                                               {{4, "99999999999"}},
                                                               {{5, "nan"}},
                                                               {{3, "  +1xyz"}}};
  for (const auto& changes : accepted) {
    const Outcome o = RunFlstrack(Args(changes));
    EXPECT_EQ(o.output, Notices() + kMissingFrame0) << changes.front().second;
    EXPECT_EQ(o.status, kFailure);
  }
}

TEST(Flstrack, ASuccessfulRunPrintsOnlyTheNotices) {
  ScratchDir in, out;
  for (int t = 0; t < 2; ++t) {
    voxa::Image3d<unsigned short> frame;
    frame.MakeRoom(48, 40, 1);
    std::mt19937 rng(t);
    for (uint64_t y = 0; y < 40; ++y)
      for (uint64_t x = 0; x < 48; ++x) {
        const double d = std::hypot(double(x) - 20 - t, double(y) - 20);
        frame.SetVoxel(x, y, 0, static_cast<unsigned short>((d < 8 ? 900 : 100) + rng() % 40));
      }
    frame.SaveImage((in / ("t00" + std::to_string(t) + ".tif")).c_str());
  }
  const Outcome o = RunFlstrack(
      {in.path().string(), out.path().string(), "1", "2", "1", "1", "1", "50", "5", "2", "0"});
  EXPECT_EQ(o.output, Notices());
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(std::filesystem::exists(out / "mask001.tif"));
  EXPECT_TRUE(std::filesystem::exists(out / "res_track.txt"));
}

TEST(ParseInt, AgreesWithAtoiInRangeAndSaturatesOutside) {
  for (const char* text : {"0", "-0", "17", "  42abc", "+7", "-2147483648", "2147483647", "abc", "",
                           "\t\n-12", "2.7", "- 5", "0x10"})
    EXPECT_EQ(trel::app::ParseInt(text), atoi(text)) << '"' << text << '"';
  std::mt19937 rng(5);
  for (int k = 0; k < 1000; ++k) {
    const int v = static_cast<int>(rng());
    EXPECT_EQ(trel::app::ParseInt(std::to_string(v).c_str()), v);
  }
  EXPECT_EQ(trel::app::ParseInt("2147483648"), INT_MAX);
  EXPECT_EQ(trel::app::ParseInt("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(trel::app::ParseInt("-2147483649"), INT_MIN);
  EXPECT_EQ(trel::app::ParseInt("-99999999999"), INT_MIN);
}

TEST(ParseReal, FollowsAtof) {
  for (const char* text : {"1", "-2.5", "1e-50", " 3.25xyz", "abc", ".5", "-0"})
    EXPECT_EQ(trel::app::ParseReal(text), atof(text)) << text;
  EXPECT_TRUE(std::isnan(trel::app::ParseReal("nan")));
}

}  // namespace
