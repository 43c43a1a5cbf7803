#include "mask_lineage.h"

#include <map>
#include <vector>

#include "frame_files.h"
#include "label_image.h"
#include "track_file.h"

namespace trel::tool {

void WriteLineageFromMasks(const std::filesystem::path& folder, uint64_t frames) {
  const FrameFiles masks(folder, "mask");
  std::map<uint64_t, TrackLine> tracks;
  LabelImage image;
  std::vector<bool> present;
  for (uint64_t t = 0; t < frames; ++t) {
    ReadLabelImage(masks.Name(t), image);
    present.assign(65536, false);
    for (unsigned short v : image) present[v] = true;
    for (uint64_t label = 1; label < present.size(); ++label) {
      if (!present[label]) continue;
      auto [it, fresh] = tracks.try_emplace(label);
      if (fresh) it->second = TrackLine{label, t, t, 0, 0};
      it->second.end = t;
    }
  }
  std::vector<TrackLine> lines;
  for (const auto& [label, track] : tracks) lines.push_back(track);
  WriteTrackFile(folder / "res_track.txt", lines);
}

}  // namespace trel::tool
