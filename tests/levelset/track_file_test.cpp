// The lineage file: its name and the limit of the name buffer, the line format in ascending
// label order, replacement of an earlier file, and failures that name the file and the cause and
// leave an earlier file as it was (missing folder, no permission, a write cut short).
#include "levelset/track_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "labelframe/label_frame.h"
#include "support/test_support.h"
#include "trel/error.h"

namespace {

using trel::Dimension;
using trel::LabelFrame;
using trel::testing::ScratchDir;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void ExpectError(const std::function<void()>& call, const std::string& message) {
  try {
    call();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const trel::Error& e) {
    EXPECT_EQ(e.what(), message);
  }
}

size_t FilesIn(const std::filesystem::path& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.exists();
  return count;
}

TEST(TrackFileName, IsResTrackInTheOutputFolder) {
  const trel::FrameSequence sequence{"in", "out/run", 1, 3};
  EXPECT_EQ(trel::TrackFileName(sequence), "out/run/res_track.txt");
}

TEST(TrackFileName, OutputFolderMustFitTheNameBuffer) {
  const std::string longest(1009, 'o'), too_long(1010, 'o');
  EXPECT_EQ(trel::TrackFileName({"in", longest.c_str(), 1, 3}).size(), 1023u);
  ExpectError(
      [&] {
        trel::TrackFileName({"in", too_long.c_str(), 1, 3});
      },
      "Track file name is too long! (Limit=1023 characters)");
}

TEST(SaveTracks, OneLinePerTrackInAscendingLabelOrder) {
  ScratchDir dir;
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  frame.tracks[4] = {4, 5, 9, 2};
  frame.tracks[1] = {1, 0, 9, 0};
  frame.tracks[3] = {3, 5, 9, 2};
  frame.tracks[2] = {2, 0, 4, 0};
  const std::string path = dir / "res_track.txt";
  frame.SaveTracks(path.c_str());
  EXPECT_EQ(Contents(path), "1 0 9 0\n2 0 4 0\n3 5 9 2\n4 5 9 2\n");
  EXPECT_EQ(frame.tracks.size(), 4u);
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "a temporary file was left behind";
}

TEST(SaveTracks, NumbersAreWrittenInFull) {
  ScratchDir dir;
  LabelFrame frame(Dimension::k3D, 0, 0, 0);
  frame.tracks[65535] = {65535, 18446744073709551614u, 18446744073709551614u, 65534};
  frame.tracks[10] = {10, 1000, 123456789012, 0};
  const std::string path = dir / "res_track.txt";
  frame.SaveTracks(path.c_str());
  EXPECT_EQ(Contents(path),
            "10 1000 123456789012 0\n"
            "65535 18446744073709551614 18446744073709551614 65534\n");
}

TEST(SaveTracks, EmptyTableGivesAnEmptyFileThatReplacesAnEarlierOne) {
  ScratchDir dir;
  const std::string path = dir / "res_track.txt";
  std::ofstream(path) << "1 0 9 0\n2 0 9 0\n3 0 9 0\n";
  const mode_t old_mask = umask(022);
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  frame.SaveTracks(path.c_str());
  umask(old_mask);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(Contents(path), "");
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u) << "the file takes the usual permissions";
}

TEST(SaveTracks, MissingFolderIsReportedWithTheFileAndTheCause) {
  ScratchDir dir;
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  frame.tracks[1] = {1, 0, 0, 0};
  const std::string path = dir / "absent/res_track.txt";
  ExpectError([&] { frame.SaveTracks(path.c_str()); },
              "Track file " + path + " cannot be written! (No such file or directory)");
}

TEST(SaveTracks, FolderWithoutWritePermissionIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  ScratchDir dir;
  const std::string path = dir / "res_track.txt";
  std::ofstream(path) << "7 0 1 0\n";
  std::filesystem::permissions(
      dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  frame.tracks[1] = {1, 0, 0, 0};
  ExpectError([&] { frame.SaveTracks(path.c_str()); },
              "Track file " + path + " cannot be written! (Permission denied)");
  EXPECT_EQ(Contents(path), "7 0 1 0\n");
}

// Limits the size of files this process writes, as a full disk would, for the scope.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_;
  void (*old_handler_)(int);
};

TEST(SaveTracks, AWriteCutShortLeavesTheEarlierFileWhole) {
  ScratchDir dir;
  const std::string path = dir / "res_track.txt";
  const std::string earlier = "1 0 3 0\n";
  std::ofstream(path) << earlier;
  LabelFrame frame(Dimension::k2D, 0, 0, 0);
  for (uint16_t label = 1; label <= 2000; ++label) frame.tracks[label] = {label, 0, 99, 0};
  {
    FileSizeLimit limit(64);
    ExpectError([&] { frame.SaveTracks(path.c_str()); },
                "Track file " + path + " cannot be written! (File too large)");
  }
  EXPECT_EQ(Contents(path), earlier);
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "the partial temporary file was left behind";
}

}  // namespace
