// MajorityFilter: separable box sums of the mask and the count of in-image box voxels.
#include "levelset/majority_filter.h"

#include <algorithm>

namespace voxa::algo {

MajorityFilter::MajorityFilter(uint64_t nx, uint64_t ny, uint64_t nz) : n_{nx, ny, nz} {}

namespace {

// Sums of three along rows (stride 1), the row ends summing two.
void SumRows(const uint8_t* in, uint8_t* out, uint64_t nx, uint64_t rows) {
  for (uint64_t r = 0; r < rows; ++r, in += nx, out += nx) {
    if (nx == 1) {
      out[0] = in[0];
      continue;
    }
    out[0] = static_cast<uint8_t>(in[0] + in[1]);
    for (uint64_t x = 1; x + 1 < nx; ++x)
      out[x] = static_cast<uint8_t>(in[x - 1] + in[x] + in[x + 1]);
    out[nx - 1] = static_cast<uint8_t>(in[nx - 2] + in[nx - 1]);
  }
}

void Add(const uint8_t* a, const uint8_t* b, uint8_t* out, uint64_t n) {
  for (uint64_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(a[j] + b[j]);
}

void Add(const uint8_t* a, const uint8_t* b, const uint8_t* c, uint8_t* out, uint64_t n) {
  for (uint64_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(a[j] + b[j] + c[j]);
}

// Sums of three along an axis of `size` lines of `stride` voxels inside blocks of
// stride * size voxels; the inner loops run over contiguous voxels.
void SumLines(const uint8_t* in, uint8_t* out, uint64_t stride, uint64_t size, uint64_t total) {
  for (uint64_t block = 0; block < total; block += stride * size) {
    const uint8_t* src = in + block;
    uint8_t* dst = out + block;
    if (size == 1) {
      std::copy(src, src + stride, dst);
      continue;
    }
    Add(src, src + stride, dst, stride);
    for (uint64_t k = 1; k + 1 < size; ++k)
      Add(src + (k - 1) * stride, src + k * stride, src + (k + 1) * stride, dst + k * stride,
          stride);
    Add(src + (size - 2) * stride, src + (size - 1) * stride, dst + (size - 1) * stride, stride);
  }
}

// Number of in-image positions of a 3-box along an axis of `size` at position k.
int Span(uint64_t k, uint64_t size) {
  return size == 1 ? 1 : 3 - (k == 0) - (k + 1 == size);
}

}  // namespace

uint64_t MajorityFilter::Apply(const bool* in, bool* out) {
  const uint64_t total = n_[0] * n_[1] * n_[2];
  a_.resize(total);
  b_.resize(total);
  SumRows(reinterpret_cast<const uint8_t*>(in), a_.data(), n_[0], n_[1] * n_[2]);
  SumLines(a_.data(), b_.data(), n_[0], n_[1], total);
  if (n_[2] > 1) {
    SumLines(b_.data(), a_.data(), n_[0] * n_[1], n_[2], total);
    a_.swap(b_);
  }
  const uint8_t* sums = b_.data();
  uint64_t changed = 0, i = 0;
  for (uint64_t z = 0; z < n_[2]; ++z)
    for (uint64_t y = 0; y < n_[1]; ++y) {
      const int vyz = Span(y, n_[1]) * Span(z, n_[2]);
      for (uint64_t x = 0; x < n_[0]; ++x, ++i) {
        const int twice = 2 * sums[i], valid = Span(x, n_[0]) * vyz;
        out[i] = twice > valid || (twice == valid && in[i]);
        changed += out[i] != in[i];
      }
    }
  return changed;
}

}  // namespace voxa::algo
