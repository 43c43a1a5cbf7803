// Filtering a sequence: every frame is written under the input naming, failures name the frame
// and leave the earlier frames written, and both exported instances work.
#include "trel/ced_filtering.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "support/test_support.h"
#include "trel/error.h"
#include "voxa/image3d.h"
#include "voxa/voxel_type.h"

namespace {

using trel::testing::ScratchDir;
using voxa::Image3d;

template <class T>
void WriteNoisyFrames(const ScratchDir& dir, int frames, uint64_t depth, T top) {
  std::mt19937 rng(11);
  for (int i = 0; i < frames; ++i) {
    Image3d<T> frame;
    frame.MakeRoom(24, 20, depth);
    for (T& v : frame) v = static_cast<T>(rng() % top);
    char name[32];
    snprintf(name, sizeof name, "t%03d.tif", i);
    frame.SaveImage((dir / name).c_str());
  }
}

bool Exists(const std::string& name) {
  return std::filesystem::exists(name);
}

TEST(CEDFiltering, WritesEveryFrameUnderTheInputNames) {
  ScratchDir in, out;
  WriteNoisyFrames<unsigned char>(in, 3, 1, 200);
  trel::CEDFiltering<float>(in.path().c_str(), out.path().c_str(), 1, 3, 1.0f, 3.0f, 1.0f, 2);
  for (const char* name : {"t000.tif", "t001.tif", "t002.tif"}) {
    ASSERT_TRUE(Exists(out / name)) << name;
    EXPECT_EQ(voxa::ReadImageType((out / name).c_str(), 0), voxa::kVoxelGray16);
    Image3d<unsigned short> frame;
    frame.ReadImage((out / name).c_str());
    EXPECT_EQ(frame.GetSize(), voxa::Vector3d<uint64_t>(24, 20, 1));
    for (unsigned short v : frame) ASSERT_LT(v, 200);  // widened, not rescaled
  }
  EXPECT_FALSE(Exists(out / "mask000.tif"));
}

TEST(CEDFiltering, FloatAndDoubleInstancesAgreeOnStacks) {
  ScratchDir in, out_f, out_d;
  WriteNoisyFrames<unsigned short>(in, 1, 4, 5000);
  trel::CEDFiltering<float>(in.path().c_str(), out_f.path().c_str(), 4, 1, 1.0f, 2.0f, 0.5f, 2);
  trel::CEDFiltering<double>(in.path().c_str(), out_d.path().c_str(), 4, 1, 1.0, 2.0, 0.5, 2);
  Image3d<unsigned short> a, b;
  a.ReadImage((out_f / "t000.tif").c_str());
  b.ReadImage((out_d / "t000.tif").c_str());
  ASSERT_EQ(a.GetSize(), b.GetSize());
  for (uint64_t i = 0; i < a.GetImageSize(); ++i) ASSERT_NEAR(a.GetVoxel(i), b.GetVoxel(i), 2);
}

TEST(CEDFiltering, ReportsProgressAfterEverySavedFrame) {
  ScratchDir in, out;
  WriteNoisyFrames<unsigned short>(in, 2, 1, 1000);
  std::vector<uint64_t> seen;
  trel::CEDFiltering<double>(in.path().c_str(), out.path().c_str(), 1, 2, 1.0, 2.0, 1.0, 1,
                             [&](uint64_t i, uint64_t n) {
                               EXPECT_EQ(n, 2u);
                               EXPECT_TRUE(Exists(out / ("t00" + std::to_string(i) + ".tif")));
                               seen.push_back(i);
                             });
  EXPECT_EQ(seen, (std::vector<uint64_t>{0, 1}));
}

TEST(CEDFiltering, NoFramesMeansNothingIsTouched) {
  ScratchDir out;
  EXPECT_NO_THROW(
      trel::CEDFiltering<double>("/no/such/folder", out.path().c_str(), 1, 0, 1.0, 4.0, 1.0, 1));
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));
}

TEST(CEDFiltering, AMissingFrameEndsTheRunAfterTheEarlierFrames) {
  ScratchDir in, out;
  WriteNoisyFrames<unsigned short>(in, 3, 1, 1000);
  try {
    trel::CEDFiltering<float>(in.path().c_str(), out.path().c_str(), 1, 5, 1.0f, 4.0f, 1.0f, 1);
    FAIL() << "frame 3 is missing";
  } catch (const trel::Error& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("Frame i=3: Image data cannot be loaded! (voxa::IOException: ", 0), 0u)
        << text;
  }
  EXPECT_TRUE(Exists(out / "t002.tif"));
  EXPECT_FALSE(Exists(out / "t003.tif"));
}

TEST(CEDFiltering, FilterFailuresNameTheFrame) {
  ScratchDir in, out;
  WriteNoisyFrames<unsigned short>(in, 2, 1, 1000);
  try {
    trel::CEDFiltering<float>(in.path().c_str(), out.path().c_str(), 1, 2, -1.0f, 4.0f, 1.0f, 1);
    FAIL() << "a negative sigma is refused by the filter";
  } catch (const trel::Error& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("Frame i=0: Filtering failed! (voxa::InternalException: GrayCED_AOS: ", 0),
              0u)
        << text;
  }
  EXPECT_FALSE(Exists(out / "t000.tif"));
}

}  // namespace
