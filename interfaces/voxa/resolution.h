// Voxel resolution: voxels per micrometre along x, y and z (the TIFF sense of "resolution", so a
// larger value is a smaller voxel). Files without resolution read as (1, 1, 1).
#pragma once

#include "voxa/vector3d.h"

namespace voxa {

class Resolution {
 public:
  Resolution() = default;
  explicit Resolution(const Vector3d<float>& r) : res_(r) {}

  Vector3d<float> GetRes() const { return res_; }
  void SetRes(const Vector3d<float>& r) { res_ = r; }
  // Voxel size in micrometres along axis k: the reciprocal of the resolution.
  float Spacing(int k) const { return 1.0f / res_[k]; }

 private:
  Vector3d<float> res_{1.0f, 1.0f, 1.0f};
};

}  // namespace voxa
