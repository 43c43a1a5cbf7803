// The evaluation as people and programs read it: a table with the measures, the division counts
// and the AOGM breakdown (count, weight and cost of each kind of error), or one flat JSON object
// with every measure and count under the names the community's reference evaluator uses ("SEG",
// "TRA", "BC(0)", "AOGM_FN", "tp_div(0)", ...). A measure that cannot be computed is null in the
// JSON and "n/a" in the table.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "evaluation.h"

namespace trel::tool {

std::string FormatTable(const Evaluation& e);
nlohmann::json ToJson(const Evaluation& e);

}  // namespace trel::tool
