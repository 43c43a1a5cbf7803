// The lineage file of a level-set run: out_folder/res_track.txt, one line per track in ascending
// label order, "label first_frame last_frame parent".
#pragma once

#include <string>

#include "foundation/frame_sequence.h"

namespace trel {

// The lineage file's name in the sequence's output folder. Throws trel::Error when the name
// does not fit the 1024-character name buffer.
std::string TrackFileName(const FrameSequence& sequence);

}  // namespace trel
