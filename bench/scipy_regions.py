#!/usr/bin/python3
"""Times scipy.ndimage on the masks bench_regions writes, for comparison with its figures.

Usage: TREL_BENCH_MASKS=/tmp/masks build/<dir>/bench/bench_regions
       /usr/bin/python3 bench/scipy_regions.py /tmp/masks
Labelling uses full connectivity and hole filling the minimal one, as bench_regions does.
"""
import sys
import timeit

import numpy as np
from scipy import ndimage

REPEATS = 20


def best_ms(call):
    return min(timeit.repeat(call, number=1, repeat=REPEATS)) * 1000


def main():
    folder = sys.argv[1]
    masks = {
        "1024x1024": np.fromfile(f"{folder}/mask2d.raw", np.uint8).reshape(1024, 1024) != 0,
        "256x256x64": np.fromfile(f"{folder}/mask3d.raw", np.uint8).reshape(64, 256, 256) != 0,
    }
    for name, mask in masks.items():
        full = ndimage.generate_binary_structure(mask.ndim, mask.ndim)
        minimal = ndimage.generate_binary_structure(mask.ndim, 1)
        count = ndimage.label(mask, full)[1]
        label = best_ms(lambda: ndimage.label(mask, full))
        fill = best_ms(lambda: ndimage.binary_fill_holes(mask, minimal))
        print(f"{name}: label {label:.2f} ms ({count} regions), fill holes {fill:.2f} ms")


if __name__ == "__main__":
    main()
