"""The Python module against the command line: the same frames give the same masks, lineage and
filtered frames; arguments are checked; progress, interruption and errors reach the caller."""

import os
import subprocess

import numpy as np
import pytest
from PIL import Image

import trel

TREL = os.environ["TREL_CLI"]


def read_frame(file):
    """A 2D frame or a stack of pages as one array ([Z,] Y, X)."""
    image = Image.open(file)
    pages = []
    for k in range(getattr(image, "n_frames", 1)):
        image.seek(k)
        pages.append(np.array(image))
    return pages[0] if len(pages) == 1 else np.stack(pages)


def read_folder(folder, prefix, count):
    return np.stack([read_frame(folder / f"{prefix}{t:03d}.tif") for t in range(count)])


def synth(root, frames, *options):
    subprocess.run([TREL, "synth", str(root), "--frames", str(frames), "--seed", "3", *options],
                   check=True, capture_output=True)
    return root, read_folder(root / "01", "t", frames)


@pytest.fixture(scope="module")
def sequence(tmp_path_factory):
    return synth(tmp_path_factory.mktemp("synth"), 8, "--size", "96", "--cells", "4")


@pytest.fixture(scope="module")
def stacks(tmp_path_factory):
    # Small bright nuclei, so that both methods find a few in a short run.
    return synth(tmp_path_factory.mktemp("stacks"), 5, "--dim", "3", "--size", "64", "--cells",
                 "3", "--snr", "15")


@pytest.mark.parametrize("method", ["levelset", "graphcut"])
@pytest.mark.parametrize("data", ["sequence", "stacks"])
def test_track_gives_the_masks_and_lineage_of_trel_track(method, data, request):
    root, frames = request.getfixturevalue(data)
    out = root / f"res-{method}"
    subprocess.run([TREL, "track", str(root / "01"), str(out), "--method", method, "--min-size",
                    "20"], check=True, capture_output=True)
    # The synthetic stacks' slices lie 2 µm apart, their pixels 1 µm (the files say so).
    voxel_size = (2.0, 1.0, 1.0) if frames.ndim == 4 else None
    labels, lineage = trel.track(frames, method=method, voxel_size=voxel_size, min_size=20)
    assert labels.dtype == np.uint16 and labels.shape == frames.shape
    assert np.array_equal(labels, read_folder(out, "mask", len(frames)))
    expected = np.loadtxt(out / "res_track.txt", dtype=np.int64, ndmin=2)
    assert np.array_equal(lineage, expected)
    assert len(lineage) >= 2  # the stacks hold two nuclei, the images four



def test_eight_bit_frames_are_the_same_values_widened(sequence):
    _, frames = sequence
    small = (frames // 4).astype(np.uint8)
    assert np.array_equal(trel.track(small)[0], trel.track(small.astype(np.uint16))[0])


def test_filter_gives_the_frames_of_trel_filter(sequence):
    root, frames = sequence
    subprocess.run([TREL, "filter", str(root / "01"), str(root / "filtered"), "--steps", "3",
                    "--threads", "1"], check=True, capture_output=True)
    assert np.array_equal(trel.filter(frames, steps=3), read_folder(root / "filtered", "t", 8))


def test_the_thread_count_never_changes_a_result(sequence, stacks):
    for _, frames in (sequence, stacks):
        assert np.array_equal(trel.filter(frames[:3], threads=1), trel.filter(frames[:3], threads=3))
        one, many = trel.track(frames, threads=1), trel.track(frames, threads=3)
        assert np.array_equal(one[0], many[0]) and np.array_equal(one[1], many[1])
    with pytest.raises(ValueError, match="threads"):
        trel.filter(sequence[1], threads=0)


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


def test_a_result_folder_round_trips_and_scores_as_trel_eval(sequence, tmp_path):
    root, frames = sequence
    labels, lineage = trel.track(frames)
    trel.write(tmp_path / "res", labels, lineage)
    back, back_lineage = trel.read(tmp_path / "res")
    assert np.array_equal(back, labels) and np.array_equal(back_lineage, lineage)
    scores = trel.evaluate(root / "01_GT", tmp_path / "res")
    cli = subprocess.run([TREL, "eval", "--json", "--gt", str(root / "01_GT"), "--res",
                          str(tmp_path / "res")], check=True, capture_output=True, text=True)
    assert scores == __import__("json").loads(cli.stdout)
    assert scores["TRA"] > 0.5
    assert trel.evaluate(root / "01_GT", (labels, lineage)) == scores
    with pytest.raises(trel.Error, match="holds no mask000.tif"):
        trel.read(tmp_path)


def test_napari_tracks_are_centroids_per_frame_and_parents():
    labels = np.zeros((2, 4, 6), np.uint16)
    labels[0, 0:2, 0:2] = 1  # centroid (0.5, 0.5)
    labels[1, 2:4, 4:6] = 2  # centroid (2.5, 4.5)
    labels[1, 0, 0] = 3
    data, graph = trel.napari_tracks(labels, [[1, 0, 0, 0], [2, 1, 1, 1], [3, 1, 1, 1]])
    assert data.tolist() == [[1, 0, 0.5, 0.5], [2, 1, 2.5, 4.5], [3, 1, 0, 0]]
    assert graph == {2: [1], 3: [1]}


def test_measure_gives_the_tables_of_trel_measure(sequence, tmp_path):
    root, frames = sequence
    labels, lineage = trel.track(frames)
    trel.write(tmp_path / "res", labels, lineage)
    subprocess.run([TREL, "measure", str(tmp_path / "res"), "--frames", str(root / "01")],
                   check=True, capture_output=True)
    objects, tracks = trel.measure(labels, lineage, frames=frames)
    from_folder = trel.measure(tmp_path / "res", frames=frames)
    for table, name in ((objects, "objects.csv"), (tracks, "tracks.csv")):
        cli = np.genfromtxt(tmp_path / "res" / name, delimiter=",", names=True, dtype=None,
                            encoding="utf-8")
        columns = cli.dtype.names
        assert list(table.columns if hasattr(table, "columns") else table.dtype.names) == \
            list(columns)
        for column in columns:
            assert list(np.asarray(table[column])) == list(cli[column]), column
    assert len(objects) == sum(len(np.unique(f)) - 1 for f in labels)
    assert len(from_folder[0]) == len(objects)
    assert set(np.asarray(tracks["label"])) == set(lineage[:, 0])


def test_synth_gives_the_frames_and_ground_truth_of_trel_synth(sequence):
    root, frames = sequence
    images, labels, lineage = trel.synth(size=96, frames=8, cells=4, seed=3)
    assert np.array_equal(images, frames)
    assert np.array_equal(labels, read_folder(root / "01_GT" / "TRA", "man_track", 8))
    assert np.array_equal(lineage, np.loadtxt(root / "01_GT" / "TRA" / "man_track.txt",
                                              dtype=np.int64, ndmin=2))
    assert trel.synth(size=32, frames=2, cells=1, bits=8)[0].dtype == np.uint8
