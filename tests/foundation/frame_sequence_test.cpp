// Frame files: names, index checks, loading 8- and 16-bit frames with their slice check, the
// refusal of other voxel types, and saving, each failure with its exact message.
#include "foundation/frame_sequence.h"

#include <gtest/gtest.h>

#include <fstream>

#include <filesystem>
#include <functional>

#include "support/test_support.h"
#include "trel/error.h"

namespace {

using trel::FrameSequence;
using trel::testing::ScratchDir;
using voxa::Image3d;

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const trel::Error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(FrameSequence, NamesFramesWithAtLeastThreeDigits) {
  const FrameSequence s{"data", "res", 1, 2000};
  EXPECT_EQ(s.InputFrameName(7), "data/t007.tif");
  EXPECT_EQ(s.InputFrameName(1000), "data/t1000.tif");
  EXPECT_EQ(s.OutputFrameName(12, "mask"), "res/mask012.tif");
  EXPECT_EQ(s.OutputFrameName(3, "t"), "res/t003.tif");
}

TEST(FrameSequence, AFolderNumberedFromT0000UsesFourDigits) {
  ScratchDir dir;
  std::ofstream(dir / "t0000.tif") << "";
  const std::string in = dir.path().string();
  const FrameSequence s{in.c_str(), "res", 1, 2000};
  EXPECT_EQ(s.InputFrameName(7), in + "/t0007.tif");
  EXPECT_EQ(s.InputFrameName(1000), in + "/t1000.tif");
  EXPECT_EQ(s.OutputFrameName(12, "mask"), "res/mask0012.tif");
  // Where t000.tif is there too, three digits stay.
  std::ofstream(dir / "t000.tif") << "";
  EXPECT_EQ(s.InputFrameName(7), in + "/t007.tif");
}

TEST(FrameSequence, RefusesIndicesPastTheLastFrame) {
  const FrameSequence s{"data", "res", 1, 5};
  EXPECT_EQ(MessageOf([&] { s.InputFrameName(5); }), "Index i=5 is out of the range <0,4>!");
  EXPECT_EQ(MessageOf([&] { s.OutputFrameName(9, "mask"); }),
            "Index i=9 is out of the range <0,4>!");
  const FrameSequence none{"data", "res", 1, 0};
  EXPECT_EQ(MessageOf([&] { none.InputFrameName(0); }), "Index i=0 is out of the range <0,-1>!");
  const FrameSequence huge{"data", "res", 1, uint64_t(1) << 40};
  EXPECT_EQ(MessageOf([&] { huge.InputFrameName(uint64_t(1) << 40); }),
            "Index i=1099511627776 is out of the range <0,1099511627775>!");
}

TEST(FrameSequence, RefusesFolderNamesTooLongForTheNameBuffer) {
  const std::string folder(1020, 'd');
  const FrameSequence s{folder.c_str(), folder.c_str(), 1, 1};
  EXPECT_EQ(MessageOf([&] { s.InputFrameName(0); }),
            "Frame i=0: Input file name is too long! (Limit=1023 characters)");
  EXPECT_EQ(MessageOf([&] { s.OutputFrameName(0, "mask"); }),
            "Frame i=0: Output file name is too long! (Limit=1023 characters)");
  const std::string fits(1023 - std::string("/t000.tif").size(), 'd');
  const FrameSequence edge{fits.c_str(), "res", 1, 1};
  EXPECT_EQ(edge.InputFrameName(0).size(), 1023u);
}

TEST(FrameSequence, Loads8BitFramesAsTheSame16BitValues) {
  ScratchDir dir;
  Image3d<unsigned char> narrow;
  narrow.MakeRoom(3, 2, 1);
  narrow.SetAllVoxels(0);
  narrow.SetVoxel(4, 200);
  narrow.SetResolution(voxa::Resolution({2.5f, 2.5f, 1.0f}));
  narrow.SaveImage((dir / "t000.tif").c_str());
  const FrameSequence s{dir.path().c_str(), dir.path().c_str(), 1, 1};
  Image3d<unsigned short> frame;
  s.LoadFrame(frame, 0);
  EXPECT_EQ(frame.GetSize(), voxa::Vector3d<uint64_t>(3, 2, 1));
  EXPECT_EQ(frame.GetVoxel(4), 200);
  EXPECT_EQ(frame.GetVoxel(0), 0);
  EXPECT_FLOAT_EQ(frame.GetResolution().GetRes()[0], 2.5f);
}

TEST(FrameSequence, ChecksTheNumberOfSlices) {
  ScratchDir dir;
  Image3d<unsigned short> image;
  image.MakeRoom(4, 4, 1);
  image.SetAllVoxels(9);
  image.SaveImage((dir / "t000.tif").c_str());
  Image3d<unsigned short> frame;
  const FrameSequence flat{dir.path().c_str(), "", 1, 1};
  EXPECT_NO_THROW(flat.LoadFrame(frame, 0));
  const FrameSequence stack{dir.path().c_str(), "", 5, 1};
  EXPECT_EQ(MessageOf([&] { stack.LoadFrame(frame, 0); }),
            "Frame i=0: Unexpected number of slices! (Expected=5,Loaded=1)");
}

TEST(FrameSequence, RefusesOtherVoxelTypesByName) {
  ScratchDir dir;
  Image3d<float> real;
  real.MakeRoom(2, 2, 1);
  real.SetAllVoxels(0.5f);
  real.SaveImage((dir / "t000.tif").c_str());
  const FrameSequence s{dir.path().c_str(), "", 1, 1};
  Image3d<unsigned short> frame;
  EXPECT_EQ(MessageOf([&] { s.LoadFrame(frame, 0); }),
            "Frame i=0: Image data cannot be loaded! (Unsupported voxel type (32-bit float "
            "grey))");
}

TEST(FrameSequence, MissingAndBrokenFramesNameTheCause) {
  ScratchDir dir;
  const FrameSequence s{dir.path().c_str(), "", 1, 3};
  Image3d<unsigned short> frame;
  const std::string missing = MessageOf([&] { s.LoadFrame(frame, 2); });
  EXPECT_EQ(missing.rfind("Frame i=2: Image data cannot be loaded! (voxa::IOException: ", 0), 0u)
      << missing;
  EXPECT_NE(missing.find("t002.tif"), std::string::npos);
  EXPECT_EQ(missing.back(), ')');
  // A file whose header reads but whose pixels do not: the reading step reports it.
  std::filesystem::copy_file(std::string(TREL_TEST_CORPUS) + "/strip_past_end.tif",
                             dir / "t001.tif");
  const std::string broken = MessageOf([&] { s.LoadFrame(frame, 1); });
  EXPECT_EQ(broken.rfind("Frame i=1: Image data cannot be loaded! (voxa::IOException: ", 0), 0u)
      << broken;
}

TEST(FrameSequence, TryReadImageReportsInsteadOfThrowing) {
  Image3d<unsigned char> image;
  std::string reason;
  EXPECT_FALSE(trel::TryReadImage(image, "/no/such/file.tif", reason));
  EXPECT_EQ(reason.rfind("voxa::IOException: ", 0), 0u) << reason;
  EXPECT_TRUE(trel::TryReadImage(
      image, (std::string(TREL_TEST_CORPUS) + "/valid_gray8.tif").c_str(), reason));
}

TEST(FrameSequence, SavesUnderThePrefixAndReportsFailures) {
  ScratchDir dir;
  Image3d<unsigned short> image;
  image.MakeRoom(5, 4, 2);
  image.SetAllVoxels(321);
  const FrameSequence s{"", dir.path().c_str(), 2, 20};
  s.SaveFrame(image, 12, "mask");
  Image3d<unsigned short> back;
  back.ReadImage((dir / "mask012.tif").c_str());
  EXPECT_EQ(back.GetSize(), image.GetSize());
  EXPECT_EQ(back.GetVoxel(39), 321);
  const std::string missing_folder = (dir / "none");
  const FrameSequence nowhere{"", missing_folder.c_str(), 2, 20};
  const std::string message = MessageOf([&] { nowhere.SaveFrame(image, 3, "mask"); });
  EXPECT_EQ(message.rfind("Frame i=3: Image data cannot be saved! (voxa::IOException: ", 0), 0u)
      << message;
  EXPECT_EQ(MessageOf([&] { s.SaveFrame(image, 20, "mask"); }),
            "Index i=20 is out of the range <0,19>!");
}

TEST(FrameSequence, WidenFrameKeepsGeometryAndDescription) {
  Image3d<unsigned char> narrow;
  narrow.MakeRoom(2, 1, 2);
  narrow.SetAllVoxels(255);
  narrow.SetOffset({1, 2, 3});
  narrow.SetDescription({{"k", "v"}});
  Image3d<unsigned short> wide;
  trel::WidenFrame(wide, narrow);
  EXPECT_EQ(wide.GetSize(), narrow.GetSize());
  EXPECT_EQ(wide.GetVoxel(3), 255);
  EXPECT_EQ(wide.GetOffset(), narrow.GetOffset());
  EXPECT_EQ(wide.GetDescription().at("k"), "v");
}

}  // namespace
