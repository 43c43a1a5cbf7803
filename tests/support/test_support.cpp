#include "support/test_support.h"

#include <unistd.h>

#include <atomic>
#include <random>
#include <stdexcept>

#include "voxa/voxel_type.h"

namespace trel::testing {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("trel-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

namespace {
int Value(char c) {
  if (c == '.') return 0;
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return 10 + (c - 'a');
  throw std::invalid_argument(std::string("unknown voxel character ") + c);
}
char Symbol(int v) {
  if (v == 0) return '.';
  if (v < 10) return static_cast<char>('0' + v);
  if (v < 36) return static_cast<char>('a' + v - 10);
  return '#';
}
}  // namespace

template <class T>
voxa::Image3d<T> Draw(const std::vector<std::string>& rows) {
  std::vector<std::vector<std::string>> slices(1);
  for (const std::string& r : rows) {
    if (r.empty())
      slices.emplace_back();
    else
      slices.back().push_back(r);
  }
  voxa::Image3d<T> image;
  const size_t ny = slices[0].size(), nx = ny ? slices[0][0].size() : 0;
  image.MakeRoom(nx, ny, slices.size());
  for (size_t z = 0; z < slices.size(); ++z) {
    if (slices[z].size() != ny) throw std::invalid_argument("slices differ in height");
    for (size_t y = 0; y < ny; ++y) {
      if (slices[z][y].size() != nx) throw std::invalid_argument("rows differ in width");
      for (size_t x = 0; x < nx; ++x)
        image.SetVoxel(x, y, z, static_cast<T>(Value(slices[z][y][x])));
    }
  }
  return image;
}

template <class T>
std::vector<std::string> Picture(const voxa::Image3d<T>& image) {
  std::vector<std::string> rows;
  for (uint64_t z = 0; z < image.GetSizeZ(); ++z) {
    if (z) rows.emplace_back();
    for (uint64_t y = 0; y < image.GetSizeY(); ++y) {
      std::string row;
      for (uint64_t x = 0; x < image.GetSizeX(); ++x)
        row += Symbol(static_cast<int>(image.GetVoxel(x, y, z)));
      rows.push_back(row);
    }
  }
  return rows;
}

voxa::Image3d<unsigned short> ReadGreyFrame(const std::string& file) {
  voxa::Image3d<unsigned short> image;
  if (voxa::ReadImageType(file.c_str(), 0) != voxa::kVoxelGray8) {
    image.ReadImage(file.c_str());
    return image;
  }
  voxa::Image3d<unsigned char> bytes;
  bytes.ReadImage(file.c_str());
  image.MakeRoom(bytes.GetSizeX(), bytes.GetSizeY(), bytes.GetSizeZ());
  std::copy(bytes.begin(), bytes.end(), image.begin());
  return image;
}

std::string SharedData(const std::string& relative) {
  const std::filesystem::path p = std::filesystem::path(TREL_SHARED_DATA) / relative;
  return std::filesystem::exists(p) ? p.string() : std::string();
}

template voxa::Image3d<unsigned char> Draw(const std::vector<std::string>&);
template voxa::Image3d<unsigned short> Draw(const std::vector<std::string>&);
template voxa::Image3d<bool> Draw(const std::vector<std::string>&);
template voxa::Image3d<float> Draw(const std::vector<std::string>&);
template std::vector<std::string> Picture(const voxa::Image3d<unsigned char>&);
template std::vector<std::string> Picture(const voxa::Image3d<unsigned short>&);
template std::vector<std::string> Picture(const voxa::Image3d<bool>&);
template std::vector<std::string> Picture(const voxa::Image3d<float>&);

}  // namespace trel::testing
