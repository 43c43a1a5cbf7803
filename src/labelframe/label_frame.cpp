// Construction of the label frame and the label counter.
#include "labelframe/label_frame.h"

#include <limits>

#include "trel/error.h"

namespace trel {

namespace {
constexpr uint16_t kMaxLabel = std::numeric_limits<uint16_t>::max();
}

LabelFrame::LabelFrame(Dimension dimension, uint64_t min_size_in, uint64_t overlap,
                       uint64_t border_in)
    : label_nb(dimension == Dimension::k2D ? &voxa::nb2D_8 : &voxa::nb3D_26),
      fill_nb(dimension == Dimension::k2D ? &voxa::nb2D_4 : &voxa::nb3D_6),
      min_size(min_size_in),
      overlap_volume(dimension == Dimension::k2D ? overlap * overlap : overlap * overlap * overlap),
      border(border_in) {}

uint16_t LabelFrame::IssueLabel() {
  if (last_label == kMaxLabel)
    throw Error("No label left to issue! (A run issues at most %u labels)",
                static_cast<unsigned>(kMaxLabel));
  return ++last_label;
}

}  // namespace trel
