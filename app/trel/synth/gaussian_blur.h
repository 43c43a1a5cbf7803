// Separable Gaussian smoothing of a float volume stored x fastest, then y, then z: one 1-D pass
// per axis with its own standard deviation (so anisotropic voxels get anisotropic blur), the
// border continued by its edge value. Narrow kernels are applied exactly (truncated at three
// standard deviations); wide ones by three box passes, whose cost does not grow with the width.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace trel::tool {

using VolumeSize = std::array<uint64_t, 3>;

// sigma[k] in voxels along axis k; 0 leaves that axis alone. O(voxels) per axis for wide
// kernels, O(voxels * 6 sigma) for narrow ones.
void GaussianBlur(std::vector<float>& data, const VolumeSize& size,
                  const std::array<double, 3>& sigma);

}  // namespace trel::tool
