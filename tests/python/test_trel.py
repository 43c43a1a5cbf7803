"""The Python module against the command line: the same frames give the same masks, lineage and
filtered frames; arguments are checked; progress, interruption and errors reach the caller."""

import os
import subprocess

import numpy as np
import pytest
from PIL import Image

import trel

TREL = os.environ["TREL_CLI"]


@pytest.fixture(scope="module")
def sequence(tmp_path_factory):
    root = tmp_path_factory.mktemp("synth")
    subprocess.run([TREL, "synth", str(root), "--size", "96", "--frames", "8", "--cells", "4",
                    "--seed", "3"], check=True, capture_output=True)
    frames = np.stack([np.array(Image.open(root / "01" / f"t{t:03d}.tif")) for t in range(8)])
    return root, frames


def read_folder(folder, prefix, count):
    return np.stack([np.array(Image.open(folder / f"{prefix}{t:03d}.tif")) for t in range(count)])


def test_track_gives_the_masks_and_lineage_of_trel_track(sequence):
    root, frames = sequence
    subprocess.run([TREL, "track", str(root / "01"), str(root / "res")], check=True,
                   capture_output=True)
    labels, lineage = trel.track(frames)
    assert labels.dtype == np.uint16 and labels.shape == frames.shape
    assert np.array_equal(labels, read_folder(root / "res", "mask", 8))
    expected = np.loadtxt(root / "res" / "res_track.txt", dtype=np.int64, ndmin=2)
    assert np.array_equal(lineage, expected)
    assert (lineage[:, 3] > 0).any(), "the sequence divides"
    # 8-bit frames are the same values widened.
    small = (frames // 4).astype(np.uint8)
    assert np.array_equal(trel.track(small)[0], trel.track(small.astype(np.uint16))[0])


def test_filter_gives_the_frames_of_trel_filter(sequence):
    root, frames = sequence
    subprocess.run([TREL, "filter", str(root / "01"), str(root / "filtered"), "--steps", "3"],
                   check=True, capture_output=True)
    assert np.array_equal(trel.filter(frames, steps=3), read_folder(root / "filtered", "t", 8))


def test_arguments_are_checked_before_any_work(sequence):
    _, frames = sequence
    with pytest.raises(ValueError, match="uint8 or uint16"):
        trel.track(frames.astype(np.float32))
    with pytest.raises(ValueError, match=r"\(T, Y, X\)"):
        trel.track(frames[0])
    with pytest.raises(TypeError, match="unknown parameters"):
        trel.track(frames, curvature=1)
    with pytest.raises(ValueError, match="min_size"):
        trel.track(frames, min_size=-1)
    with pytest.raises(ValueError, match="curv_weight"):
        trel.track(frames, curv_weight=float("nan"))
    with pytest.raises(ValueError, match="method"):
        trel.track(frames, method="magic")


def test_progress_interruption_and_errors_reach_the_caller(sequence):
    _, frames = sequence
    seen = []
    trel.track(frames[:3], progress=lambda i, n: seen.append((i, n)))
    assert seen == [(1, 3), (2, 3), (3, 3)]

    def stop(i, n):
        if i == 2:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        trel.track(frames, progress=stop)
    assert trel.track(frames[:2])[0].shape == frames[:2].shape  # still usable afterwards
    with pytest.raises(trel.Error, match="Frame i=0: Filtering failed"):
        trel.filter(frames[:1], rho=1e9)
