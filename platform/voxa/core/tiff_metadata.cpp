#include "tiff_metadata.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace voxa::tiff {

namespace {

constexpr float kMicronsPerCentimetre = 1.0e4f;
constexpr float kMicronsPerInch = 25400.0f;
constexpr const char* kStructuralKeys[] = {"ImageJ",     "images", "slices",  "frames", "channels",
                                           "hyperstack", "unit",   "spacing", "loop",   "mode"};

bool IsStructural(const std::string& key) {
  for (const char* k : kStructuralKeys)
    if (key == k) return true;
  return false;
}

bool IsUsable(float v) {
  return std::isfinite(v) && v > 0.0f;
}

// Micrometres per unit named in an ImageJ "unit=" entry; 0 when the unit is not a length we know.
float MicronsPerUnit(const Description& d) {
  auto it = d.find("unit");
  if (it == d.end()) return 0.0f;
  const std::string& u = it->second;
  if (u == "micron" || u == "um" || u == "\\u00B5m" || u == "µm" || u == "microns") return 1.0f;
  if (u == "nm" || u == "nanometer") return 1.0e-3f;
  if (u == "mm" || u == "millimeter") return 1.0e3f;
  return 0.0f;
}

}  // namespace

Description ParseDescription(const char* text) {
  Description d;
  if (!text || !*text) return d;
  std::istringstream in(text);
  std::string line;
  bool any = false;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    d[line.substr(0, eq)] = line.substr(eq + 1);
    any = true;
  }
  if (!any) d["text"] = text;
  return d;
}

std::string ComposeDescription(const Description& own, uint64_t slices, const Resolution& res) {
  std::ostringstream out;
  out << "ImageJ=1.11a\n";
  if (slices > 1) out << "images=" << slices << "\nslices=" << slices << "\n";
  out << "unit=micron\n";
  if (slices > 1) {
    char spacing[32];
    snprintf(spacing, sizeof spacing, "%.9g", static_cast<double>(res.Spacing(2)));
    out << "spacing=" << spacing << "\nloop=false\n";
  }
  for (const auto& [key, value] : own)
    if (!IsStructural(key) && key.find('\n') == std::string::npos &&
        value.find('\n') == std::string::npos)
      out << key << "=" << value << "\n";
  return out.str();
}

Resolution ReadResolution(TIFF* tif, const Description& description) {
  float rx = 0, ry = 0;
  uint16_t unit = RESUNIT_NONE;
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &rx);
  TIFFGetField(tif, TIFFTAG_YRESOLUTION, &ry);
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  float microns_per_unit = 0.0f;  // 0: the resolution is in no known length unit
  if (unit == RESUNIT_CENTIMETER) microns_per_unit = kMicronsPerCentimetre;
  if (unit == RESUNIT_INCH) microns_per_unit = kMicronsPerInch;
  if (unit == RESUNIT_NONE) microns_per_unit = MicronsPerUnit(description);
  // Without a length unit the numbers are no voxel size (e.g. an aspect ratio): ignore them.
  const bool in_length = microns_per_unit > 0.0f;
  Vector3d<float> r(1.0f, 1.0f, 1.0f);
  if (in_length && IsUsable(rx)) r[0] = rx / microns_per_unit;
  if (in_length && IsUsable(ry)) r[1] = ry / microns_per_unit;
  if (!IsUsable(r[0])) r[0] = 1.0f;
  if (!IsUsable(r[1])) r[1] = 1.0f;
  auto sp = description.find("spacing");
  if (sp != description.end()) {
    const float spacing = std::strtof(sp->second.c_str(), nullptr);
    const float per_unit = MicronsPerUnit(description) > 0 ? MicronsPerUnit(description) : 1.0f;
    if (IsUsable(spacing) && IsUsable(1.0f / (spacing * per_unit)))
      r[2] = 1.0f / (spacing * per_unit);
  }
  return Resolution(r);
}

void WriteResolution(TIFF* tif, const Resolution& res) {
  const Vector3d<float> r = res.GetRes();
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, r[0] * kMicronsPerCentimetre);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, r[1] * kMicronsPerCentimetre);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
}

}  // namespace voxa::tiff
