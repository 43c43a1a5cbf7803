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

std::string Windowed(const char* name, int i) {
  return std::string(name) + "(" + std::to_string(i) + ")";
}

std::string Row(const std::string& name, std::optional<double> value) {
  return Line("%-8s %s", name.c_str(), Number(value).c_str());
}

std::string MeasureRows(const Evaluation& e) {
  std::string out = Line("%-8s %s", "measure", "value");
  std::string seg = Number(e.seg);
  if (e.seg)
    seg += "  (" + std::to_string(e.seg_objects) + " reference objects, " +
           std::to_string(e.seg_matched) + " matched)";
  out += Line("%-8s %s", "SEG", seg.c_str());
  out += Row("DET", e.det);
  out += Row("TRA", e.tra);
  out += Row("LNK", e.lnk);
  if (e.bio) {
    out += Row("CT", e.bio->ct);
    out += Row("TF", e.bio->tf);
    for (int i = 0; i <= kMaxBranchingWindow; ++i) out += Row(Windowed("BC", i), e.bio->Bc(i));
    out += Row("CCA", e.bio->cca);
    for (int i = 0; i <= kMaxBranchingWindow; ++i) out += Row(Windowed("BIO", i), e.bio->Bio(i));
  }
  out += Row("OP_CSB", e.OpCsb());
  out += Row("OP_CTB", e.OpCtb());
  return out;
}

std::string DivisionRows(const BioMeasures& m) {
  const std::string head = "divisions (reference " + std::to_string(m.reference_divisions) + ")";
  std::string out = Line("\n%-26s %10s %10s %10s", head.c_str(), "found", "false", "missed");
  for (int i = 0; i <= kMaxBranchingWindow; ++i) {
    const DivisionCounts& d = m.divisions[static_cast<size_t>(i)];
    const std::string name = "within " + std::to_string(i) + " frame(s)";
    out += Line("%-26s %10llu %10llu %10llu", name.c_str(),
                static_cast<unsigned long long>(d.true_positives),
                static_cast<unsigned long long>(d.false_positives),
                static_cast<unsigned long long>(d.false_negatives));
  }
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
  out += Line("%-26s %30.1f  (empty result: %.1f)", "AOGM-D", c.VertexCost(), c.EmptyVertexCost());
  if (c.has_edges)
    out += Line("%-26s %30.1f  (empty result: %.1f)", "AOGM", c.Cost(), c.EmptyCost());
  out += Line("reference: %llu vertices, %llu edges",
              static_cast<unsigned long long>(c.reference_vertices),
              static_cast<unsigned long long>(c.reference_edges));
  return out;
}

nlohmann::json Value(std::optional<double> value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json Count(bool known, uint64_t value) {
  return known ? nlohmann::json(value) : nlohmann::json(nullptr);
}

void PutAogm(const Evaluation& e, nlohmann::json& j) {
  const AogmCounts& c = e.aogm;
  const bool edges = c.has_edges;
  j["AOGM_NS"] = Count(e.has_markers, c.splits);
  j["AOGM_FN"] = Count(e.has_markers, c.false_negatives);
  j["AOGM_FP"] = Count(e.has_markers, c.false_positives);
  j["AOGM_ED"] = Count(edges, c.edges_deleted);
  j["AOGM_EA"] = Count(edges, c.edges_added);
  j["AOGM_EC"] = Count(edges, c.edges_semantic);
  j["AOGM"] = edges ? nlohmann::json(c.Cost()) : nlohmann::json(nullptr);
  j["AOGM_0"] = edges ? nlohmann::json(c.EmptyCost()) : nlohmann::json(nullptr);
}

void PutBio(const Evaluation& e, nlohmann::json& j) {
  const BioMeasures* m = e.bio ? &*e.bio : nullptr;
  j["CT"] = Value(m ? m->ct : std::nullopt);
  j["TF"] = Value(m ? m->tf : std::nullopt);
  j["CCA"] = Value(m ? m->cca : std::nullopt);
  j["gt_divisions"] = Count(m != nullptr, m ? m->reference_divisions : 0);
  for (int i = 0; i <= kMaxBranchingWindow; ++i) {
    const DivisionCounts* d = m ? &m->divisions[static_cast<size_t>(i)] : nullptr;
    j[Windowed("BC", i)] = Value(m ? m->Bc(i) : std::nullopt);
    j[Windowed("BIO", i)] = Value(m ? m->Bio(i) : std::nullopt);
    j[Windowed("tp_div", i)] = Count(d != nullptr, d ? d->true_positives : 0);
    j[Windowed("fp_div", i)] = Count(d != nullptr, d ? d->false_positives : 0);
    j[Windowed("fn_div", i)] = Count(d != nullptr, d ? d->false_negatives : 0);
  }
}

}  // namespace

std::string FormatTable(const Evaluation& e) {
  std::string out = Line("frames   %llu", static_cast<unsigned long long>(e.frames));
  out += MeasureRows(e);
  if (e.bio) out += DivisionRows(*e.bio);
  if (e.has_markers) out += AogmRows(e);
  if (e.has_markers && !e.has_tracks) out += "TRA needs res_track.txt in the result folder\n";
  return out;
}

nlohmann::json ToJson(const Evaluation& e) {
  nlohmann::json j = nlohmann::json::object();
  j["frames"] = e.frames;
  j["Valid"] = 1;  // an invalid result is refused, never scored
  j["SEG"] = Value(e.seg);
  j["SEG_objects"] = e.seg_objects;
  j["DET"] = Value(e.det);
  j["TRA"] = Value(e.tra);
  j["LNK"] = Value(e.lnk);
  j["OP_CSB"] = Value(e.OpCsb());
  j["OP_CTB"] = Value(e.OpCtb());
  PutAogm(e, j);
  PutBio(e, j);
  return j;
}

}  // namespace trel::tool
