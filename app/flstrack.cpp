// flstrack: the command-line tracker. Takes the eleven parameters of one level-set tracking run,
// checks the sign of the nine numeric ones in position order and runs the tracking once. All
// output goes to standard output; the exit status is 0 for a completed run and -1 otherwise.
#include <cstdint>
#include <cstdio>
#include <exception>

#include "parse_number.h"
#include "trel/error.h"
#include "trel/fls_lab_tracking.h"

namespace {

constexpr const char* kAbout =
    "flstrack - segmentation and tracking of cells in time-lapse microscopy by level sets.\n"
    "Every frame in_folder/tNNN.tif becomes a label image out_folder/maskNNN.tif, each cell\n"
    "carrying its track label, and the lineage of the tracks is written to "
    "out_folder/res_track.txt.";
constexpr const char* kWarranty =
    "This program is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY;\n"
    "without even the implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.";

// Frames after the first weigh the background like frame 0: the multi-label evolution starts
// from the previous labels, close to the answer, and needs no extra pull either way.
constexpr float kBgFactor = 1.0f;

constexpr int kArgumentCount = 12;

enum class Sign { kPositive, kNonnegative };

void Check(double value, int position, Sign sign) {
  const bool fails = sign == Sign::kPositive ? (value < 0 || value == 0) : value < 0;
  if (fails)
    throw trel::Error("Input parameter %d: Only %s numbers supported!", position,
                      sign == Sign::kPositive ? "positive" : "nonnegative");
}

// Parsed, tested, then widened with its sign; the test guarantees it is not negative.
uint64_t Count(char** argv, int position, Sign sign) {
  const int value = trel::app::ParseInt(argv[position]);
  Check(value, position, sign);
  return static_cast<uint64_t>(static_cast<int64_t>(value));
}

// Parsed and tested in double precision, then narrowed to the nearest float.
float Weight(char** argv, int position) {
  const double value = trel::app::ParseReal(argv[position]);
  Check(value, position, Sign::kPositive);
  return static_cast<float>(value);
}

void Run(char** argv) {
  const uint64_t num_slices = Count(argv, 3, Sign::kPositive);
  const uint64_t num_frames = Count(argv, 4, Sign::kPositive);
  const float curv_weight = Weight(argv, 5);
  const float fg_weight = Weight(argv, 6);
  const float bg_weight = Weight(argv, 7);
  const uint64_t max_iter = Count(argv, 8, Sign::kPositive);
  const uint64_t min_size = Count(argv, 9, Sign::kNonnegative);
  const uint64_t overlap = Count(argv, 10, Sign::kNonnegative);
  const uint64_t border = Count(argv, 11, Sign::kNonnegative);
  trel::FlsLabTracking(argv[1], argv[2], num_slices, num_frames, curv_weight, fg_weight, bg_weight,
                       max_iter, min_size, overlap, border, kBgFactor);
}

}  // namespace

int main(int argc, char** argv) {
  printf("%s\n\n%s\n\n", kAbout, kWarranty);
  if (argc != kArgumentCount) {
    printf(
        "Usage: %s in_folder out_folder num_slices num_frames curv_weight fg_weight bg_weight "
        "max_iter min_size overlap border\n",
        argv[0]);
    return -1;
  }
  try {
    Run(argv);
  } catch (const trel::Error& e) {
    printf("%s", e.what());
    return -1;
  } catch (const std::exception& e) {
    // Outside the frame loop (setting up, writing the lineage file) memory can run out.
    printf("Tracking failed! (%s)", e.what());
    return -1;
  }
  return 0;
}
