#!/bin/bash
# `cmake --install` into a temporary prefix, then a small downstream program built against the
# installed library both ways, with CMake's find_package(trel) and with pkg-config, tracks a
# sequence that the installed `trel synth` makes, and the installed Python module (where it was
# built) tracks it to the same masks. Usage: install_and_use.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
"$prefix/bin/trel" synth "$work/data" --size 64 --frames 3 --cells 2 >/dev/null

mkdir "$work/app"
cat >"$work/app/main.cpp" <<'CPP'
#include <trel/error.h>
#include <trel/fls_lab_tracking.h>
#include <trel/pipeline.h>

#include <cstdio>
#include <vector>

int main(int, char** argv) {
  namespace pipeline = trel::pipeline;
  try {
    trel::FlsLabTracking(argv[1], argv[2], 1, 3, 0.3f, 1, 1, 50, 100, 3, 0, 1);
    // The pipeline in memory: two bright discs in three frames are two tracks.
    const pipeline::Shape shape{3, 1, 48, 64};
    std::vector<uint16_t> frames(3 * 48 * 64, 100);
    for (size_t i = 0; i < frames.size(); ++i) {
      const int x = int(i % 64), y = int(i / 64 % 48);
      if ((x - 20) * (x - 20) + (y - 24) * (y - 24) < 64 ||
          (x - 44) * (x - 44) + (y - 24) * (y - 24) < 64)
        frames[i] = 800;
    }
    const auto method = pipeline::Method::kLevelSet;
    const pipeline::Result result =
        pipeline::Track(frames.data(), shape, {}, method, pipeline::Defaults(method, 1));
    if (result.lineage.size() != 2) return 2;
  } catch (const trel::Error& e) {
    std::printf("%s\n", e.what());
    return 1;
  }
  return 0;
}
CPP
cat >"$work/app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(downstream LANGUAGES CXX)
find_package(trel 0.1 REQUIRED)
add_executable(downstream main.cpp)
target_link_libraries(downstream PRIVATE trel::trel trel::pipeline)
CMAKE

cmake -S "$work/app" -B "$work/app/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/app/build" >/dev/null
mkdir "$work/out-cmake"
"$work/app/build/downstream" "$work/data/01" "$work/out-cmake"

libdir=$(dirname "$(find "$prefix" -name trel.pc)")
export PKG_CONFIG_PATH="$libdir"
libs=$(pkg-config --libs trel)
# shellcheck disable=SC2086 # the flags are words
g++ -std=c++17 $(pkg-config --cflags trel) "$work/app/main.cpp" -o "$work/app/downstream-pc" \
  $libs -Wl,-rpath,"$(pkg-config --variable=libdir trel)"
mkdir "$work/out-pc"
"$work/app/downstream-pc" "$work/data/01" "$work/out-pc"

for out in out-cmake out-pc; do
  diff -rq "$work/$out" "$work/out-cmake" >/dev/null || { echo "$out differs"; exit 1; }
  [ -s "$work/$out/res_track.txt" ] || { echo "$out has no lineage"; exit 1; }
done
"$prefix/bin/trel" validate "$work/out-pc" >/dev/null

# The Python module from its installed place, for Debian's interpreter.
python_dir="$prefix/lib/python3/dist-packages"
if [ -d "$python_dir/trel" ]; then
  (cd "$work" && PYTHONPATH="$python_dir" /usr/bin/python3 -c "
import numpy, trel
from PIL import Image
frames = numpy.stack([numpy.array(Image.open(f'data/01/t{t:03d}.tif')) for t in range(3)])
labels, lineage = trel.track(frames)
masks = numpy.stack([numpy.array(Image.open(f'out-pc/mask{t:03d}.tif')) for t in range(3)])
assert trel.__file__.startswith('$python_dir'), trel.__file__
assert numpy.array_equal(labels, masks), 'the installed module tracks otherwise'
")
fi
echo "installed, and used from CMake, pkg-config and Python"
