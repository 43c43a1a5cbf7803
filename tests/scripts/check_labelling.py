#!/usr/bin/python3
"""Checks region labelling and hole filling against scipy.ndimage on seeded random images.

Usage: check_labelling.py LABEL_TOOL. Exits 0 when every case agrees, 1 on the first difference
and 77 (skipped) when numpy or scipy cannot be imported. Region ids must equal scipy's exactly:
both number regions in raster order of their first voxel. Region records (value, volume,
bounding box) are checked against bincount and find_objects.
"""
import os
import subprocess
import sys
import tempfile

SKIP = 77

try:
    import numpy as np
    from scipy import ndimage
except ImportError as e:
    print(f"skipped: {e}")
    sys.exit(SKIP)

# (shape as z, y, x; neighbourhood name; rank and connectivity of the scipy structure)
FULL_2D, FACE_2D, FULL_3D, FACE_3D = ("8", 2, 2), ("4", 2, 1), ("26", 3, 3), ("6", 3, 1)
SHAPES_2D = [(1, 1, 1), (1, 1, 37), (1, 29, 1), (1, 48, 64), (1, 150, 200), (1, 9, 300)]
SHAPES_3D = [(2, 9, 7), (12, 16, 20), (24, 40, 33), (3, 11, 140)]
DENSITIES = [0.1, 0.45, 0.6, 0.9]


def random_mask(rng, shape, density, smooth):
    """Noise, or blobs when smooth: smoothed noise above its quantile."""
    noise = rng.random(shape)
    if smooth:
        noise = ndimage.uniform_filter(noise, size=3, mode="wrap")
        return noise > np.quantile(noise, 1.0 - density)
    return noise < density


def random_labels(rng, shape):
    """Blobs of a few values that touch each other."""
    blobs = ndimage.uniform_filter(rng.random(shape), size=3, mode="wrap")
    return np.digitize(blobs, np.quantile(blobs, [0.3, 0.55, 0.8])).astype(np.uint16)


def structure(rank, connectivity):
    return ndimage.generate_binary_structure(rank, connectivity)


def as_scipy(image, rank):
    return image[0] if rank == 2 else image


def run_tool(tool, args, data, out_dtype, workdir):
    src, dst = os.path.join(workdir, "in.raw"), os.path.join(workdir, "out.raw")
    data.tofile(src)
    z, y, x = data.shape
    done = subprocess.run([tool, args[0], str(x), str(y), str(z), *args[1:], src, dst],
                          capture_output=True, text=True, check=True)
    return np.fromfile(dst, dtype=out_dtype).reshape(data.shape), done.stdout


def expected_value_regions(image, rank, connectivity):
    """Regions of equal non-zero value, numbered by first voxel in raster order."""
    combined = np.zeros(image.shape, dtype=np.int64)
    next_id = 0
    for value in np.unique(image[image != 0]):
        labels, count = ndimage.label(image == value, structure(rank, connectivity))
        combined[labels != 0] = labels[labels != 0] + next_id
        next_id += count
    flat = combined.ravel()
    ids, first = np.unique(flat[flat != 0], return_index=True)
    order = ids[np.argsort(first)]
    renumber = np.zeros(next_id + 1, dtype=np.int64)
    renumber[order] = np.arange(1, len(order) + 1)
    return renumber[combined]


def check_records(image, got, records):
    """Each printed record must match the region's voxels."""
    lines = records.split("\n")[:-1]
    count = int(got.max()) if got.size else 0
    if len(lines) != count:
        return f"{len(lines)} records for {count} regions"
    volumes = np.bincount(got.ravel(), minlength=count + 1)
    boxes = ndimage.find_objects(got)
    for line in lines:
        rid, value, volume, x0, y0, z0, sx, sy, sz = map(int, line.split())
        box = boxes[rid - 1]
        want = (box[2].start, box[1].start, box[0].start,
                box[2].stop - box[2].start, box[1].stop - box[1].start, box[0].stop - box[0].start)
        if volume != volumes[rid] or (x0, y0, z0, sx, sy, sz) != want:
            return f"region {rid}: record {line} but volume {volumes[rid]}, box {want}"
        if value != int(image[got == rid].flat[0]):
            return f"region {rid}: value {value} but voxels hold {image[got == rid].flat[0]}"
    return None


def check_case(tool, workdir, name, image, nb, want):
    dtype = "u8" if image.dtype == np.uint8 else "u16"
    got, records = run_tool(tool, ["label", nb, dtype], image, np.uint16, workdir)
    if not np.array_equal(got, want):
        return f"{name}: labels differ at {np.argwhere(got != want)[:3].tolist()}"
    problem = check_records(image, got, records)
    return f"{name}: {problem}" if problem else None


def label_cases(rng):
    for shape in SHAPES_2D + SHAPES_3D:
        neighbourhoods = [FULL_2D, FACE_2D] if shape[0] == 1 else [FULL_3D, FACE_3D]
        for nb, rank, connectivity in neighbourhoods:
            for density in DENSITIES:
                for smooth in (False, True):
                    yield shape, nb, rank, connectivity, random_mask(rng, shape, density, smooth)
            yield shape, nb, rank, connectivity, random_labels(rng, shape)


def check_labelling(tool, workdir, rng):
    cases = 0
    for shape, nb, rank, connectivity, image in label_cases(rng):
        name = f"label {shape} nb{nb} {image.dtype}"
        if image.dtype == bool:
            image = image.astype(np.uint8)
            want, _ = ndimage.label(as_scipy(image, rank), structure(rank, connectivity))
        else:
            want = expected_value_regions(as_scipy(image, rank), rank, connectivity)
        problem = check_case(tool, workdir, name, image, nb, want.reshape(image.shape))
        if problem:
            return problem, cases
        cases += 1
    return None, cases


def check_filling(tool, workdir, rng):
    cases = 0
    for shape in SHAPES_2D + SHAPES_3D:
        neighbourhoods = [FULL_2D, FACE_2D] if shape[0] == 1 else [FULL_3D, FACE_3D]
        for nb, rank, connectivity in neighbourhoods:
            for density in DENSITIES:
                for smooth in (False, True):
                    mask = random_mask(rng, shape, density, smooth).astype(np.uint8)
                    got, _ = run_tool(tool, ["fill", nb], mask, np.uint8, workdir)
                    want = ndimage.binary_fill_holes(as_scipy(mask, rank),
                                                     structure(rank, connectivity))
                    if not np.array_equal(got.astype(bool), want.reshape(shape)):
                        return f"fill {shape} nb{nb} density {density}: masks differ", cases
                    cases += 1
    return None, cases


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    tool = sys.argv[1]
    rng = np.random.default_rng(20240611)
    with tempfile.TemporaryDirectory() as workdir:
        for check in (check_labelling, check_filling):
            try:
                problem, cases = check(tool, workdir, rng)
            except subprocess.CalledProcessError as e:
                print(f"FAILED: {' '.join(e.cmd)} ended with status {e.returncode}: {e.stderr}")
                return 1
            if problem:
                print(f"FAILED after {cases} agreeing cases: {problem}")
                return 1
            print(f"{check.__name__}: {cases} cases agree with scipy.ndimage")
    return 0


if __name__ == "__main__":
    sys.exit(main())
