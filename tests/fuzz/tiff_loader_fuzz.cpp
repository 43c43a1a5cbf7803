// Feeds arbitrary bytes to the TIFF loader through a file, the way users' frames reach it. Any
// outcome but an IOException (or a successful read) is a finding: a crash, a leak, a hang or an
// allocation beyond the fuzzer's limit.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "voxa/exceptions.h"
#include "voxa/image3d.h"
#include "voxa/voxel_type.h"

namespace {

template <class T>
void TryRead(const std::string& path) {
  try {
    voxa::Image3d<T> image;
    image.ReadImage(path.c_str());
  } catch (const voxa::IOException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input lives in a memory file; a link whose name ends in .tif leads the loader to it.
  static const int fd = memfd_create("fuzz", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
  static const std::string link = [] {
    std::string l = "/tmp/voxa-fuzz-" + std::to_string(getpid()) + ".tif";
    unlink(l.c_str());
    if (symlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), l.c_str()) != 0)
      return std::string();
    return l;
  }();
  if (link.empty()) return 0;
  try {
    switch (voxa::ReadImageType(link.c_str(), 0)) {
      case voxa::kVoxelGray8:
        TryRead<unsigned char>(link);
        break;
      case voxa::kVoxelGray16:
        TryRead<unsigned short>(link);
        break;
      case voxa::kVoxelFloat32:
        TryRead<float>(link);
        break;
      default:
        TryRead<bool>(link);
        break;
    }
  } catch (const voxa::IOException&) {
  }
  return 0;
}
