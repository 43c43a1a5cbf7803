// Whole-file writes: the content arrives under the name, and links planted where the temporary
// file may be made are never followed.
#include "atomic_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/test_support.h"
#include "tool_error.h"

namespace trel::tool {
namespace {

using trel::testing::ScratchDir;

std::string ReadAll(const std::filesystem::path& file) {
  std::ostringstream text;
  text << std::ifstream(file).rdbuf();
  return text.str();
}

TEST(AtomicFileTest, PlantedLinksAreNotFollowed) {
  ScratchDir dir;
  const std::filesystem::path file = dir.path() / "res_track.txt";
  const std::filesystem::path victim = dir.path() / "victim";
  std::ofstream(victim) << "precious";
  // Links at every name of the first counts of this process (the random part aside, which the
  // exclusive creation covers) and at the old-style names.
  for (int k = 0; k < 60; ++k)
    std::filesystem::create_symlink(
        victim, file.string() + ".part-" + std::to_string(getpid()) + "-" + std::to_string(k));
  std::filesystem::create_symlink(victim, file.string() + ".part");
  WriteFileAtomically(file, "1 0 4 0\n");
  EXPECT_EQ(ReadAll(file), "1 0 4 0\n");
  EXPECT_EQ(ReadAll(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(file));
}

TEST(AtomicFileTest, AFolderThatCannotHoldTheFileIsNamed) {
  ScratchDir dir;
  try {
    WriteFileAtomically(dir.path() / "missing" / "x.txt", "x");
    FAIL() << "the folder does not exist";
  } catch (const ToolError& e) {
    EXPECT_EQ(e.code(), kExitCannotCreate);
    EXPECT_NE(std::string(e.what()).find("(No such file or directory)"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace trel::tool
