// Report formatting. Numbers in the table have six decimals; the JSON keeps full precision.
#include "eval_report.h"

#include <cstdarg>
#include <cstdio>
#include <optional>

namespace trel::tool {

namespace {

std::string Number(std::optional<double> value) {
  if (!value) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", *value);
  return text;
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return std::string(text) + "\n";
}

std::string BcName(size_t i) {
  return "BC(" + std::to_string(i) + ")";
}

std::string MeasureRows(const Evaluation& e) {
  std::string out = Line("%-8s %s", "measure", "value");
  std::string seg = Number(e.seg);
  if (e.seg)
    seg += "  (" + std::to_string(e.seg_objects) + " reference objects, " +
           std::to_string(e.seg_matched) + " matched)";
  out += Line("%-8s %s", "SEG", seg.c_str());
  out += Line("%-8s %s", "DET", Number(e.det).c_str());
  out += Line("%-8s %s", "TRA", Number(e.tra).c_str());
  if (!e.bio) return out;
  out += Line("%-8s %s", "CT", Number(e.bio->ct).c_str());
  out += Line("%-8s %s", "TF", Number(e.bio->tf).c_str());
  for (size_t i = 0; i < e.bio->bc.size(); ++i)
    out += Line("%-8s %s", BcName(i).c_str(), Number(e.bio->bc[i]).c_str());
  return out;
}

std::string CostRow(const char* name, uint64_t count, double weight) {
  return Line("%-26s %10llu %6.1f %12.1f", name, static_cast<unsigned long long>(count), weight,
              static_cast<double>(count) * weight);
}

std::string AogmRows(const Evaluation& e) {
  const AogmCounts& c = e.aogm;
  std::string out = Line("\n%-26s %10s %6s %12s", "AOGM operation", "count", "weight", "cost");
  out += CostRow("split (NS)", c.splits, kSplitCost);
  out += CostRow("false negative (FN)", c.false_negatives, kFalseNegativeCost);
  out += CostRow("false positive (FP)", c.false_positives, kFalsePositiveCost);
  if (c.has_edges) {
    out += CostRow("edge to delete (ED)", c.edges_deleted, kEdgeDeleteCost);
    out += CostRow("edge to add (EA)", c.edges_added, kEdgeAddCost);
    out += CostRow("edge semantics (EC)", c.edges_semantic, kEdgeSemanticCost);
  }
  const double vertex_empty = kFalseNegativeCost * static_cast<double>(c.reference_vertices);
  out += Line("%-26s %30.1f  (empty result: %.1f)", "AOGM-D", c.VertexCost(), vertex_empty);
  if (c.has_edges)
    out += Line("%-26s %30.1f  (empty result: %.1f)", "AOGM", c.Cost(),
                vertex_empty + kEdgeAddCost * static_cast<double>(c.reference_edges));
  out += Line("reference: %llu vertices, %llu edges",
              static_cast<unsigned long long>(c.reference_vertices),
              static_cast<unsigned long long>(c.reference_edges));
  return out;
}

void Put(nlohmann::json& j, const std::string& key, std::optional<double> value) {
  if (value) j[key] = *value;
}

}  // namespace

std::string FormatTable(const Evaluation& e) {
  std::string out = Line("frames   %llu", static_cast<unsigned long long>(e.frames));
  out += MeasureRows(e);
  if (e.has_markers) out += AogmRows(e);
  if (e.has_markers && !e.has_tracks) out += "TRA needs res_track.txt in the result folder\n";
  return out;
}

nlohmann::json ToJson(const Evaluation& e) {
  nlohmann::json j = nlohmann::json::object();
  j["frames"] = e.frames;
  Put(j, "SEG", e.seg);
  Put(j, "DET", e.det);
  Put(j, "TRA", e.tra);
  if (e.seg) j["SEG_objects"] = e.seg_objects;
  if (e.bio) {
    Put(j, "CT", e.bio->ct);
    Put(j, "TF", e.bio->tf);
    for (size_t i = 0; i < e.bio->bc.size(); ++i) Put(j, BcName(i), e.bio->bc[i]);
  }
  if (e.has_markers) {
    const AogmCounts& c = e.aogm;
    nlohmann::json a = {{"NS", c.splits},
                        {"FN", c.false_negatives},
                        {"FP", c.false_positives},
                        {"AOGM-D", c.VertexCost()},
                        {"reference_vertices", c.reference_vertices}};
    if (c.has_edges) {
      a["ED"] = c.edges_deleted;
      a["EA"] = c.edges_added;
      a["EC"] = c.edges_semantic;
      a["AOGM"] = c.Cost();
      a["reference_edges"] = c.reference_edges;
    }
    j["AOGM"] = a;
  }
  return j;
}

}  // namespace trel::tool
