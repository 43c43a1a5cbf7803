// The evaluation as people and programs read it: a table with the measures and the AOGM
// breakdown (count, weight and cost of each kind of error), or one JSON object whose keys
// include "SEG", "DET" and "TRA"; a measure that cannot be computed is left out of the JSON
// and shown as "n/a" in the table.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "evaluation.h"

namespace trel::tool {

std::string FormatTable(const Evaluation& e);
nlohmann::json ToJson(const Evaluation& e);

}  // namespace trel::tool
