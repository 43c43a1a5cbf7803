#include "result_tables.h"

#include <iomanip>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cell_table.h"
#include "tool_error.h"

namespace trel::tool {

namespace {

constexpr int kDigits = 10;  // significant digits of the real numbers in the tables

std::string Number(double v) {
  std::ostringstream text;
  text << std::setprecision(kDigits) << v;
  return text.str();
}

std::string ObjectsCsv(const std::vector<CellRow>& cells, const std::array<double, 3>& spacing,
                       bool stacks, bool intensities) {
  std::ostringstream csv;
  csv << "label,frame,parent,x,y,z,x_um,y_um,z_um,voxels," << (stacks ? "volume_um3" : "area_um2")
      << ",min_x,min_y,min_z,max_x,max_y,max_z,touches_edge";
  if (intensities) csv << ",mean_intensity,total_intensity,max_intensity";
  csv << "\n";
  const double voxel = spacing[0] * spacing[1] * (stacks ? spacing[2] : 1.0);
  for (const CellRow& c : cells) {
    csv << c.label << ',' << c.frame << ',' << c.parent;
    for (int k = 0; k < 3; ++k) csv << ',' << Number(c.centroid[k]);
    for (int k = 0; k < 3; ++k) csv << ',' << Number(c.centroid[k] * spacing[k]);
    csv << ',' << c.voxels << ',' << Number(double(c.voxels) * voxel);
    for (int k = 0; k < 3; ++k) csv << ',' << c.low[k];
    for (int k = 0; k < 3; ++k) csv << ',' << c.high[k];
    csv << ',' << (c.touches_edge ? 1 : 0);
    if (intensities) csv << ',' << Number(*c.mean) << ',' << Number(*c.total) << ',' << *c.max;
    csv << "\n";
  }
  return csv.str();
}

std::string TracksCsv(const std::vector<TrackRow>& tracks) {
  std::ostringstream csv;
  csv << "label,first,last,parent,daughters,length,generation,path_length_um,displacement_um,"
         "speed_um_per_frame,fate\n";
  for (const TrackRow& t : tracks)
    csv << t.label << ',' << t.first << ',' << t.last << ',' << t.parent << ',' << t.daughters
        << ',' << t.length << ',' << t.generation << ',' << Number(t.path_length) << ','
        << Number(t.displacement) << ',' << Number(t.speed) << ',' << FateName(t.fate) << "\n";
  return csv.str();
}

// napari's tracks layer: track_id, t, [z,] y, x in voxels; the graph maps a track to its parents.
std::string NapariCsv(const std::vector<CellRow>& cells, bool stacks) {
  std::ostringstream csv;
  csv << (stacks ? "track_id,t,z,y,x\n" : "track_id,t,y,x\n");
  for (const CellRow& c : cells) {
    csv << c.label << ',' << c.frame;
    if (stacks) csv << ',' << Number(c.centroid[2]);
    csv << ',' << Number(c.centroid[1]) << ',' << Number(c.centroid[0]) << "\n";
  }
  return csv.str();
}

std::string NapariGraph(const std::vector<TrackLine>& lineage) {
  nlohmann::json graph = nlohmann::json::object();
  for (const TrackLine& t : lineage)
    if (t.parent) graph[std::to_string(t.label)] = {t.parent};
  return graph.dump(1) + "\n";
}

}  // namespace

ResultTables Tabulate(const MaskStore& masks, const GreyFrames* frames, uint64_t count,
                      const std::vector<TrackLine>& lineage, const std::array<double, 3>& spacing) {
  std::map<uint64_t, uint64_t> parents;
  for (const TrackLine& t : lineage) parents[t.label] = t.parent;
  std::vector<CellRow> cells;
  LabelImage mask, grey;
  bool stacks = false;
  for (uint64_t t = 0; t < count; ++t) {
    masks.Read(t, mask);
    if (frames) {
      const std::string name = (*frames)(t, grey);
      if (!SameSize(grey, mask))
        throw ToolError(kExitDataError,
                        name + " is " + SizeText(grey) + ", but its mask is " + SizeText(mask));
    }
    stacks = mask.GetSizeZ() > 1;
    const std::vector<CellRow> rows = MeasureCells(mask, frames ? &grey : nullptr, t, parents);
    cells.insert(cells.end(), rows.begin(), rows.end());
  }
  ResultTables tables;
  tables.objects = ObjectsCsv(cells, spacing, stacks, frames != nullptr);
  tables.tracks = TracksCsv(MeasureTracks(lineage, cells, spacing, count));
  tables.napari_tracks = NapariCsv(cells, stacks);
  tables.napari_graph = NapariGraph(lineage);
  tables.cells = cells.size();
  return tables;
}

}  // namespace trel::tool
