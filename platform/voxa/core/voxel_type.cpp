#include "voxa/voxel_type.h"

namespace voxa {

const char* VoxelTypeToString(VoxelType type) {
  switch (type) {
    case kVoxelBinary:
      return "1-bit binary";
    case kVoxelGray8:
      return "8-bit grey";
    case kVoxelGray16:
      return "16-bit grey";
    case kVoxelGray32:
      return "32-bit grey";
    case kVoxelFloat32:
      return "32-bit float grey";
    case kVoxelFloat64:
      return "64-bit float grey";
    case kVoxelSigned:
      return "signed integer grey";
    case kVoxelRGB8:
      return "8-bit RGB";
    case kVoxelRGB16:
      return "16-bit RGB";
    case kVoxelPalette:
      return "palette colour";
    case kVoxelOther:
      return "multi-channel or unusual sample layout";
    case kVoxelUnknown:
      break;
  }
  return "unknown";
}

}  // namespace voxa
