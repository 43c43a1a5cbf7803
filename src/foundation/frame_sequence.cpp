#include "frame_sequence.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "trel/error.h"
#include "voxa/exceptions.h"
#include "voxa/voxel_type.h"

namespace trel {

namespace {
constexpr size_t kNameBuffer = 1024;
constexpr int kShortDigits = 3;
constexpr int kLongDigits = 4;
}  // namespace

bool FormatFileName(std::string& name, const char* fmt, ...) {
  char buffer[kNameBuffer];
  va_list args;
  va_start(args, fmt);
  const int length = vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= sizeof buffer) return false;
  name = buffer;
  return true;
}

void FrameSequence::CheckIndex(uint64_t i) const {
  // The upper end prints as -1 for an empty sequence, never as a huge unsigned number.
  if (i >= num_frames)
    throw Error("Index i=%" PRIu64 " is out of the range <0,%" PRId64 ">!", i,
                static_cast<int64_t>(num_frames - 1));
}

int FrameSequence::Digits() const {
  // The community numbers the frames of sequences of 1000 frames and more with four digits
  // from t0000.tif on; t000.tif, where it exists, keeps three.
  std::string short_name, long_name;
  if (FormatFileName(short_name, "%s/t%03d.tif", in_folder, 0) &&
      FormatFileName(long_name, "%s/t%04d.tif", in_folder, 0) &&
      access(short_name.c_str(), F_OK) != 0 && access(long_name.c_str(), F_OK) == 0)
    return kLongDigits;
  return kShortDigits;
}

std::string FrameSequence::InputFrameName(uint64_t i) const {
  CheckIndex(i);
  std::string name;
  if (!FormatFileName(name, "%s/t%0*" PRIu64 ".tif", in_folder, Digits(), i))
    throw Error("Frame i=%" PRIu64 ": Input file name is too long! (Limit=%zu characters)", i,
                kNameBuffer - 1);
  return name;
}

std::string FrameSequence::OutputFrameName(uint64_t i, const char* prefix) const {
  CheckIndex(i);
  std::string name;
  if (!FormatFileName(name, "%s/%s%0*" PRIu64 ".tif", out_folder, prefix, Digits(), i))
    throw Error("Frame i=%" PRIu64 ": Output file name is too long! (Limit=%zu characters)", i,
                kNameBuffer - 1);
  return name;
}

template <class T>
bool TryReadImage(voxa::Image3d<T>& image, const char* file_name, std::string& reason) noexcept {
  try {
    try {
      image.ReadImage(file_name, nullptr, false, -1, nullptr, nullptr);
      return true;
    } catch (const voxa::IOException& e) {
      reason = std::string("voxa::IOException: ") + e.what();
    } catch (const voxa::InternalException& e) {
      reason = std::string("voxa::InternalException: ") + e.what();
    } catch (const std::bad_alloc&) {
      reason = "Not enough memory";
    } catch (...) {
      reason = "Unknown exception caught";
    }
  } catch (...) {
    // Building the reason itself ran out of memory: the read failed all the same.
  }
  return false;
}

template bool TryReadImage(voxa::Image3d<unsigned char>&, const char*, std::string&) noexcept;
template bool TryReadImage(voxa::Image3d<unsigned short>&, const char*, std::string&) noexcept;

void WidenFrame(voxa::Image3d<unsigned short>& target, const voxa::Image3d<unsigned char>& source) {
  target.SetResolution(source.GetResolution());
  target.SetOffset(source.GetOffset());
  target.SetDescription(source.GetDescription());
  target.MakeRoom(source.GetSizeX(), source.GetSizeY(), source.GetSizeZ());
  const unsigned char* from = source.begin();
  unsigned short* to = target.begin();
  for (uint64_t k = 0, n = source.GetImageSize(); k < n; ++k) to[k] = from[k];
}

void FrameSequence::LoadFrame(voxa::Image3d<unsigned short>& image, uint64_t i) const {
  const std::string name = InputFrameName(i);
  std::string reason;
  try {
    const voxa::VoxelType type = voxa::ReadImageType(name.c_str(), 0);
    if (type == voxa::kVoxelGray16) {
      if (!TryReadImage(image, name.c_str(), reason))
        throw Error("Frame i=%" PRIu64 ": Image data cannot be loaded! (%s)", i, reason.c_str());
    } else if (type == voxa::kVoxelGray8) {
      voxa::Image3d<unsigned char> narrow;
      if (!TryReadImage(narrow, name.c_str(), reason))
        throw Error("Frame i=%" PRIu64 ": Image data cannot be loaded! (%s)", i, reason.c_str());
      WidenFrame(image, narrow);
    } else {
      throw Error("Frame i=%" PRIu64 ": Image data cannot be loaded! (Unsupported voxel type (%s))",
                  i, voxa::VoxelTypeToString(type));
    }
  } catch (const voxa::IOException& e) {
    throw Error("Frame i=%" PRIu64 ": Image data cannot be loaded! (voxa::IOException: %s)", i,
                e.what());
  }
  if (image.GetSizeZ() != num_slices)
    throw Error("Frame i=%" PRIu64 ": Unexpected number of slices! (Expected=%" PRIu64
                ",Loaded=%" PRIu64 ")",
                i, num_slices, image.GetSizeZ());
}

void FrameSequence::SaveFrame(const voxa::Image3d<unsigned short>& image, uint64_t i,
                              const char* prefix) const {
  const std::string name = OutputFrameName(i, prefix);
  try {
    image.SaveImage(name.c_str(), 0, true, nullptr);
  } catch (const voxa::IOException& e) {
    throw Error("Frame i=%" PRIu64 ": Image data cannot be saved! (voxa::IOException: %s)", i,
                e.what());
  }
}

}  // namespace trel
