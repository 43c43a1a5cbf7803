// Label image input and output through the image library, with the file's voxel type checked
// before any pixel is read so that a wrong file is refused by name.
#include "label_image.h"

#include <cstdio>
#include <string>

#include "tool_error.h"
#include "voxa/exceptions.h"
#include "voxa/voxel_type.h"

namespace trel::tool {

namespace {

constexpr int kNarrowBits = 8;
constexpr int kWideBits = 16;

void Widen(const voxa::Image3d<unsigned char>& narrow, LabelImage& image) {
  image.SetResolution(narrow.GetResolution());
  image.SetOffset(narrow.GetOffset());
  image.MakeRoom(narrow.GetSizeX(), narrow.GetSizeY(), narrow.GetSizeZ());
  const unsigned char* from = narrow.begin();
  unsigned short* to = image.begin();
  for (uint64_t k = 0, n = narrow.GetImageSize(); k < n; ++k) to[k] = from[k];
}

}  // namespace

int ReadLabelImage(const std::filesystem::path& file, LabelImage& image, ImageKind kind) {
  if (!std::filesystem::exists(file))
    throw ToolError(kExitNoInput, "cannot read " + file.string() + " (no such file)");
  try {
    const voxa::VoxelType type = voxa::ReadImageType(file.c_str(), voxa::kFormatAuto);
    if (type == voxa::kVoxelGray16) {
      image.ReadImage(file.c_str());
      return kWideBits;
    }
    if (type == voxa::kVoxelGray8) {
      voxa::Image3d<unsigned char> narrow;
      narrow.ReadImage(file.c_str());
      Widen(narrow, image);
      return kNarrowBits;
    }
    throw ToolError(kExitDataError, file.string() + " is not an 8-bit or 16-bit " +
                                        (kind == ImageKind::kFrame ? "grey frame" : "label image") +
                                        " (" + voxa::VoxelTypeToString(type) + ")");
  } catch (const voxa::IOException& e) {
    throw ToolError(kExitDataError, "cannot read " + file.string() + " (" + e.what() + ")");
  }
}

void WriteLabelImage(const std::filesystem::path& file, const LabelImage& image) {
  try {
    image.SaveImage(file.c_str());
  } catch (const voxa::IOException& e) {
    throw ToolError(kExitIoError, "cannot write " + file.string() + " (" + e.what() + ")");
  }
}

bool SameSize(const LabelImage& a, const LabelImage& b) {
  return a.GetSizeX() == b.GetSizeX() && a.GetSizeY() == b.GetSizeY() &&
         a.GetSizeZ() == b.GetSizeZ();
}

std::string SizeText(const LabelImage& image) {
  char text[80];
  const auto x = static_cast<unsigned long long>(image.GetSizeX());
  const auto y = static_cast<unsigned long long>(image.GetSizeY());
  const auto z = static_cast<unsigned long long>(image.GetSizeZ());
  if (z == 1)
    std::snprintf(text, sizeof text, "%llux%llu", x, y);
  else
    std::snprintf(text, sizeof text, "%llux%llux%llu", x, y, z);
  return text;
}

}  // namespace trel::tool
