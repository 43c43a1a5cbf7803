#include "fleeting_tracks.h"

#include <map>

namespace trel::tool {

namespace {

constexpr uint64_t kLabels = uint64_t{1} << 16;

// Fleeting by the lineage alone: alone in it, and short between the run's first and last frames.
std::set<uint64_t> Candidates(const std::vector<TrackLine>& lineage, uint64_t frames) {
  std::set<uint64_t> mothers;
  for (const TrackLine& t : lineage)
    if (t.parent) mothers.insert(t.parent);
  std::set<uint64_t> candidates;
  for (const TrackLine& t : lineage)
    if (!t.parent && !mothers.count(t.label) && t.label < kLabels && t.begin > 0 &&
        t.begin <= t.end && t.end + 1 < frames && t.end - t.begin + 1 < kMinLastingFrames)
      candidates.insert(t.label);
  return candidates;
}

// Frame -> the labels of `labels` alive in it.
std::map<uint64_t, std::vector<uint16_t>> FramesOf(const std::vector<TrackLine>& lineage,
                                                   const std::set<uint64_t>& labels) {
  std::map<uint64_t, std::vector<uint16_t>> frames;
  for (const TrackLine& t : lineage)
    if (labels.count(t.label))
      for (uint64_t f = t.begin; f <= t.end; ++f)
        frames[f].push_back(static_cast<uint16_t>(t.label));
  return frames;
}

// Calls `visit` with every label on the left, right, top or bottom edge of any slice.
template <typename Visit>
void VisitEdgeLabels(const LabelImage& mask, Visit visit) {
  const uint64_t nx = mask.GetSizeX(), ny = mask.GetSizeY();
  if (nx == 0 || ny == 0) return;
  for (uint64_t z = 0; z < mask.GetSizeZ(); ++z) {
    for (uint64_t x = 0; x < nx; ++x) {
      visit(mask.GetVoxel(x, 0, z));
      visit(mask.GetVoxel(x, ny - 1, z));
    }
    for (uint64_t y = 0; y < ny; ++y) {
      visit(mask.GetVoxel(0, y, z));
      visit(mask.GetVoxel(nx - 1, y, z));
    }
  }
}

}  // namespace

std::set<uint64_t> FleetingTracks(const MaskStore& masks, const std::vector<TrackLine>& lineage,
                                  uint64_t frames) {
  std::set<uint64_t> fleeting = Candidates(lineage, frames);
  if (fleeting.empty()) return fleeting;
  std::vector<bool> candidate(kLabels, false);
  for (const uint64_t label : fleeting) candidate[label] = true;
  LabelImage mask;
  for (const auto& [frame, labels] : FramesOf(lineage, fleeting)) {
    masks.Read(frame, mask);
    VisitEdgeLabels(mask, [&](uint16_t label) {
      if (candidate[label]) {
        candidate[label] = false;
        fleeting.erase(label);
      }
    });
  }
  return fleeting;
}

std::vector<TrackLine> EraseTracks(MaskStore& masks, const std::vector<TrackLine>& lineage,
                                   const std::set<uint64_t>& fleeting) {
  std::vector<bool> erased(kLabels, false);
  for (const uint64_t label : fleeting)
    if (label < kLabels) erased[label] = true;
  LabelImage mask;
  for (const auto& [frame, labels] : FramesOf(lineage, fleeting)) {
    masks.Read(frame, mask);
    for (unsigned short& v : mask)
      if (erased[v]) v = 0;
    masks.Write(frame, mask);
  }
  std::vector<TrackLine> kept;
  for (const TrackLine& t : lineage)
    if (!fleeting.count(t.label)) kept.push_back(t);
  return kept;
}

uint64_t RemoveFleetingTracksInFolder(const std::filesystem::path& folder, uint64_t frames) {
  const std::filesystem::path file = folder / "res_track.txt";
  const std::vector<TrackLine> lineage = ReadTrackFile(file);
  FolderMasks masks(folder);
  const std::set<uint64_t> fleeting = FleetingTracks(masks, lineage, frames);
  if (fleeting.empty()) return 0;
  RemoveTrackFile(file);
  WriteTrackFile(file, EraseTracks(masks, lineage, fleeting));
  return fleeting.size();
}

}  // namespace trel::tool
