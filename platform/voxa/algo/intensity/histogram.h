// Intensity histograms and the statistics taken from them: percentiles, the mode, Otsu's split
// (Otsu 1979: the threshold of largest between-class variance), the triangle split (Zack, Rogers
// and Latt 1977: the point of the histogram farthest below the chord from the peak to the end of
// the bright tail, suited to a dominant dark background with a long tail of objects), and the
// means on either side of a split. 16-bit images use one bin per grey value, so their
// percentiles are exact grey values; float data use equal bins over a chosen range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voxa::algo {

class Histogram {
 public:
  // One bin per 16-bit grey value. Cost: one pass over the values plus 65536 bins.
  static Histogram OfGray(const unsigned short* values, size_t n);
  // `bins` equal bins whose centres run from `low` to `high`; values outside are left out, as
  // are non-finite ones.
  static Histogram OfFloat(const float* values, size_t n, size_t bins, float low, float high);
  // The same over the full range of the finite values.
  static Histogram OfFloat(const float* values, size_t n, size_t bins);

  uint64_t Total() const { return total_; }
  // The smallest bin value at which the cumulative count reaches q * Total(); q in [0, 1].
  double Percentile(double q) const;
  // The value of the fullest bin.
  double Mode() const;
  // Otsu's and the triangle threshold, half way between the last bin of the darker class and
  // the first of the brighter one. A histogram of one occupied bin gives a value above it.
  double OtsuThreshold() const;
  double TriangleThreshold() const;
  // Mean value of the bins above and below `threshold` (the other mean when one side is empty).
  struct Split {
    double above, below;
  };
  Split MeansAround(double threshold) const;

 private:
  double BinValue(size_t bin) const { return low_ + width_ * static_cast<double>(bin); }
  double After(size_t bin) const { return BinValue(bin) + width_ / 2; }

  std::vector<uint64_t> counts_;
  uint64_t total_ = 0;
  double low_ = 0, width_ = 1;
};

}  // namespace voxa::algo
