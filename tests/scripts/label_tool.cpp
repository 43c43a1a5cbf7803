// Test-only bridge between the region operations and an outside oracle script: reads a raw
// image, runs region labelling or hole filling on it and writes the result as raw data, and for
// labelling prints one line per region "id value volume x0 y0 z0 sx sy sz".
//   label_tool label X Y Z NB u8|u16 in.raw out.raw   (out: 16-bit region ids, native order)
//   label_tool fill  X Y Z NB in.raw out.raw          (in and out: one byte per voxel, 0 or 1)
// NB is 4, 8, 6 or 26.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "voxa/hole_filling.h"
#include "voxa/labeled_image3d.h"
#include "voxa/neighbourhood.h"

namespace {

const voxa::Neighbourhood& NeighbourhoodNamed(const std::string& name) {
  if (name == "4") return voxa::nb2D_4;
  if (name == "8") return voxa::nb2D_8;
  if (name == "6") return voxa::nb3D_6;
  if (name == "26") return voxa::nb3D_26;
  throw std::invalid_argument("unknown neighbourhood " + name);
}

template <class T>
voxa::Image3d<T> ReadRaw(const char* path, uint64_t x, uint64_t y, uint64_t z) {
  voxa::Image3d<T> image;
  image.MakeRoom(x, y, z);
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes(image.GetImageSize() * sizeof(T));
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    throw std::runtime_error(std::string("cannot read ") + path);
  std::memcpy(static_cast<void*>(image.begin()), bytes.data(), bytes.size());
  return image;
}

template <class T>
void WriteRaw(const char* path, const voxa::Image3d<T>& image) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.begin()),
            static_cast<std::streamsize>(image.GetImageSize() * sizeof(T)));
  if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + path);
}

template <class V>
void Label(const voxa::Image3d<V>& image, const voxa::Neighbourhood& nb, const char* out) {
  voxa::LabeledImage3d<unsigned short, V> regions;
  regions.CreateForegroundRegionsFF(image, nb);
  WriteRaw(out, static_cast<const voxa::Image3d<unsigned short>&>(regions));
  for (const auto& [id, info] : regions.GetComponents())
    std::printf("%u %u %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64
                " %" PRIu64 "\n",
                static_cast<unsigned>(id), static_cast<unsigned>(info.value), info.volume,
                info.voi.offset[0], info.voi.offset[1], info.voi.offset[2], info.voi.size[0],
                info.voi.size[1], info.voi.size[2]);
}

int Run(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if ((mode != "label" || argc != 9) && (mode != "fill" || argc != 8)) {
    std::fprintf(stderr, "usage: label_tool label X Y Z NB u8|u16 in out | fill X Y Z NB in out\n");
    return 2;
  }
  const uint64_t x = std::strtoull(argv[2], nullptr, 10), y = std::strtoull(argv[3], nullptr, 10),
                 z = std::strtoull(argv[4], nullptr, 10);
  const voxa::Neighbourhood& nb = NeighbourhoodNamed(argv[5]);
  if (mode == "fill") {
    voxa::Image3d<bool> mask = ReadRaw<bool>(argv[6], x, y, z);
    voxa::BinFillHoles(mask, nb);
    WriteRaw(argv[7], mask);
  } else if (std::string(argv[6]) == "u8") {
    Label(ReadRaw<bool>(argv[7], x, y, z), nb, argv[8]);
  } else {
    Label(ReadRaw<unsigned short>(argv[7], x, y, z), nb, argv[8]);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "label_tool: %s\n", e.what());
    return 1;
  }
}
