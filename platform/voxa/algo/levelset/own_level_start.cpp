// OwnLevelStart: the regions of both images, then the start's pieces that no found voxel meets.
#include "levelset/own_level_start.h"

#include <limits>

#include "voxa/exceptions.h"
#include "voxa/labeled_image3d.h"
#include "voxa/neighbourhood.h"

namespace voxa::algo {

std::optional<std::vector<unsigned short>> OwnLevelStart(const Image3d<bool>& found,
                                                         const Image3d<bool>& start) {
  const Neighbourhood& nb = found.GetSizeZ() > 1 ? nb3D_26 : nb2D_8;
  LabeledImage3d<unsigned short, bool> objects, pieces;
  try {
    objects.CreateForegroundRegionsFF(found, nb);
    pieces.CreateForegroundRegionsFF(start, nb);
  } catch (const InternalException&) {
    return std::nullopt;  // more regions than labels: the frame is noise at its grain
  }
  const size_t n = found.GetImageSize();
  std::vector<uint8_t> met(pieces.NumberOfComponents() + 1, 0);
  for (size_t i = 0; i < n; ++i)
    if (objects.begin()[i] != 0) met[pieces.begin()[i]] = 1;
  std::vector<unsigned short> added(met.size(), 0);
  size_t next = objects.NumberOfComponents();
  for (const auto& [id, info] : pieces.GetComponents()) {
    if (met[id] || info.volume < kMinLostPiece) continue;
    if (next == std::numeric_limits<unsigned short>::max()) return std::nullopt;
    added[id] = static_cast<unsigned short>(++next);
  }
  if (next == 0) return std::nullopt;
  std::vector<unsigned short> labels(n);
  for (size_t i = 0; i < n; ++i)
    labels[i] = objects.begin()[i] != 0 ? objects.begin()[i] : added[pieces.begin()[i]];
  return labels;
}

}  // namespace voxa::algo
