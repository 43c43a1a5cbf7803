// Helpers shared by the test suites: scratch folders, small images drawn from text, and the
// location of the shared real data (absent on a user's checkout: tests then skip).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "voxa/image3d.h"

namespace trel::testing {

// A fresh folder under the system's temporary folder, removed with its contents at destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// An image drawn as rows of text, one character per voxel: '.' is 0, '1'..'9' are 1..9, letters
// 'a'.. are 10... Slices of a stack are separated by an empty string.
template <class T>
voxa::Image3d<T> Draw(const std::vector<std::string>& rows);

// The same image back as rows of text, for readable comparisons.
template <class T>
std::vector<std::string> Picture(const voxa::Image3d<T>& image);

// An 8- or 16-bit grey file as 16-bit values (8-bit values unchanged), as the tracker reads frames.
voxa::Image3d<unsigned short> ReadGreyFrame(const std::string& file);

// Path to a folder of the shared data set, or "" when the data are not there.
std::string SharedData(const std::string& relative);

}  // namespace trel::testing
