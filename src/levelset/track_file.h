// The lineage file of a level-set run: out_folder/res_track.txt, one line per track in ascending
// label order, "label first_frame last_frame parent".
#pragma once

#include <string>

#include "foundation/frame_sequence.h"

namespace trel {

// The lineage file's name in the sequence's output folder. Throws trel::Error when the name
// does not fit the 1024-character name buffer.
std::string TrackFileName(const FrameSequence& sequence);

// Removes an earlier run's lineage file from the output folder, before the first new mask can
// replace one of its masks: a run that fails half-way must not leave new masks beside an old
// lineage that still looks like a whole result. Nothing happens when there is none. Throws
// trel::Error naming the file and the cause when it cannot be removed.
void RemoveEarlierTrackFile(const FrameSequence& sequence);

}  // namespace trel
