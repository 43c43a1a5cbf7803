"""trel: segmentation and tracking of cells in time-lapse microscopy, on numpy arrays.

    import numpy, trel
    labels, lineage = trel.track(frames)          # frames: (T, Y, X) or (T, Z, Y, X), uint8/16
    filtered = trel.filter(frames, steps=10)      # coherence-enhancing diffusion

`labels` has the frames' shape (uint16, every cell carrying its track label); `lineage` is an
(N, 4) array of rows (label, first frame, last frame, parent label or 0), the community's
res_track.txt. Failures of the library are raised as trel.Error with its message.
"""

import numpy as _np

from . import _trel

Error = _trel.Error

__all__ = ["Error", "evaluate", "filter", "measure", "napari_tracks", "read", "synth", "track",
           "write"]

_METHODS = ("levelset", "graphcut")


def _frames(frames):
    array = _np.asarray(frames)
    if array.dtype not in (_np.uint8, _np.uint16):
        raise ValueError(
            f"frames must be uint8 or uint16, not {array.dtype}: scale them to one of those first"
        )
    if array.ndim not in (3, 4):
        raise ValueError(f"frames must be (T, Y, X) or (T, Z, Y, X), not of shape {array.shape}")
    if 0 in array.shape:
        raise ValueError(f"frames of shape {array.shape} hold no voxel")
    # 8-bit values are widened unchanged, as the library does with 8-bit files.
    return _np.ascontiguousarray(array, dtype=_np.uint16)


def _voxel_size(voxel_size, ndim):
    if voxel_size is None:
        return (1.0, 1.0, 1.0)
    size = tuple(float(v) for v in voxel_size)
    if len(size) != ndim - 1 or not all(_np.isfinite(v) and v > 0 for v in size):
        raise ValueError(f"voxel_size must be {ndim - 1} finite positive sizes ([z,] y, x)")
    return (size[-1], size[-2], size[0] if ndim == 4 else 1.0)  # the library's x, y, z


def track(frames, method="levelset", voxel_size=None, progress=None, threads=None, **params):
    """Segments and tracks the cells of `frames`; returns (labels, lineage).

    Parameters by name, with the defaults of `trel track`: curv_weight, fg_weight, bg_weight,
    bg_factor, max_iter, min_size, overlap, border. `voxel_size` is ([z,] y, x) in micrometres.
    `progress(frame, total)` is called after every frame (tqdm's update fits); Ctrl-C stops the
    run between frames. `threads`: how many threads the image routines use (None: every core);
    the result is the same for any number.
    """
    array = _frames(frames)
    if method not in _METHODS:
        raise ValueError(f"method must be one of {_METHODS}, not {method!r}")
    slices = array.shape[1] if array.ndim == 4 else 1
    values = _trel.defaults(method, slices)
    unknown = set(params) - set(values)
    if unknown:
        raise TypeError(f"unknown parameters {sorted(unknown)}; known: {sorted(values)}")
    for name, value in params.items():
        if isinstance(values[name], int):
            if int(value) != value or value < 0:
                raise ValueError(f"{name} must be a whole number of 0 or more, not {value!r}")
            values[name] = int(value)
        else:
            if not (_np.isfinite(value) and value > 0):
                raise ValueError(f"{name} must be a finite number above 0, not {value!r}")
            values[name] = float(value)
    return _trel.track(array, method, _voxel_size(voxel_size, array.ndim), progress,
                       threads=_threads(threads), **values)


def filter(frames, sigma=None, rho=None, tau=None, steps=None, voxel_size=None, progress=None,
           threads=None):
    """Coherence-enhancing diffusion of every frame, as `trel filter` and with its defaults
    (None): noise scale sigma and integration scale rho in voxels, time step tau, steps, on
    `threads` threads (None: every core; the result is the same for any number). Returns uint16
    frames of the same shape."""
    array = _frames(frames)
    given = {"sigma": sigma, "rho": rho, "tau": tau, "steps": steps}
    defaults = _trel.filter_defaults()
    sigma, rho, tau, steps = (defaults[k] if v is None else v for k, v in given.items())
    for name, value in (("sigma", sigma), ("rho", rho), ("tau", tau)):
        if not (_np.isfinite(value) and value > 0):
            raise ValueError(f"{name} must be a finite number above 0, not {value!r}")
    if int(steps) != steps or steps < 0:
        raise ValueError(f"steps must be a whole number of 0 or more, not {steps!r}")
    return _trel.filter(array, _voxel_size(voxel_size, array.ndim), progress, float(sigma),
                        float(rho), float(tau), int(steps), _threads(threads))


def _threads(threads):
    if threads is None:
        return 0
    if int(threads) != threads or threads < 1:
        raise ValueError(f"threads must be a whole number of 1 or more, not {threads!r}")
    return int(threads)


def read(folder):
    """A result folder in the community's layout (maskTTT.tif, res_track.txt): (labels, lineage)."""
    return _trel.read(str(folder))


def write(folder, labels, lineage):
    """Writes labels (uint16, (T, [Z,] Y, X)) and their lineage (N, 4) as a result folder."""
    labels = _np.asarray(labels)
    if labels.dtype != _np.uint16:
        if labels.dtype.kind not in "ui" or labels.min(initial=0) < 0 or labels.max(initial=0) > 65535:
            raise ValueError("labels must fit 16 bits: whole numbers from 0 to 65535")
        labels = labels.astype(_np.uint16)
    lineage = _np.asarray(lineage, dtype=_np.int64).reshape(-1, 4)
    _trel.write(str(folder), _np.ascontiguousarray(labels), lineage)


def evaluate(gt, result):
    """The measures of `trel eval` (SEG, DET, TRA, ... as a dict) of `result` against the ground
    truth folder `gt`; `result` is a result folder or a (labels, lineage) pair."""
    import json
    import tempfile

    if isinstance(result, tuple):
        with tempfile.TemporaryDirectory() as folder:
            write(folder, *result)
            return json.loads(_trel.evaluate(str(gt), folder))
    return json.loads(_trel.evaluate(str(gt), str(result)))


def napari_tracks(labels, lineage):
    """The (data, graph) pair napari's tracks layer takes: data rows (track_id, t, [z,] y, x) at
    every cell's centroid in every frame, graph {track: [parent track]}."""
    labels = _np.asarray(labels)
    rows = []
    for t, frame in enumerate(labels):
        flat = frame.ravel().astype(_np.int64)
        ids = _np.unique(flat)
        ids = ids[ids > 0]
        if not len(ids):
            continue
        counts = _np.bincount(flat)
        coordinates = _np.indices(frame.shape).reshape(frame.ndim, -1)
        centroid = [_np.bincount(flat, weights=c)[ids] / counts[ids] for c in coordinates]
        rows.append(_np.column_stack([ids, _np.full(len(ids), t), *centroid]))
    data = _np.concatenate(rows) if rows else _np.zeros((0, labels.ndim + 1))
    graph = {int(label): [int(parent)] for label, _, _, parent in _np.asarray(lineage) if parent}
    return data.astype(float), graph


def measure(labels, lineage=None, frames=None, voxel_size=None):
    """The tables of `trel measure`: (objects, tracks), one row per cell and frame and one per
    track, as pandas DataFrames when pandas is installed, else numpy record arrays. `labels` is
    an array (with `lineage`) or a result folder; `frames` (optional) gives the intensities."""
    import io

    if lineage is None:
        labels, lineage = read(labels)
    labels = _np.ascontiguousarray(labels, dtype=_np.uint16)
    lineage = _np.ascontiguousarray(_np.asarray(lineage, dtype=_np.int64).reshape(-1, 4))
    grey = None if frames is None else _frames(frames)
    tables = _trel.measure(labels, lineage, grey, _voxel_size(voxel_size, labels.ndim))
    try:
        import pandas

        def parse(text):
            return pandas.read_csv(io.StringIO(text))
    except ImportError:

        def parse(text):
            return _np.genfromtxt(io.StringIO(text), delimiter=",", names=True, dtype=None,
                                  encoding="utf-8")
    return parse(tables["objects"]), parse(tables["tracks"])


def synth(dim=2, size=0, frames=40, cells=25, divisions=40.0, snr=6.0, bits=16, z_spacing=2.0,
          seed=1):
    """A synthetic sequence with exact ground truth, as `trel synth` makes it (same options, same
    seed, same values): (frames, labels, lineage), the frames uint8 or uint16 by `bits`, the
    ground-truth labels uint16 and the lineage (N, 4). `size` 0 is 512 in 2D, 256 in 3D."""
    import tempfile

    with tempfile.TemporaryDirectory() as folder:
        _trel.synth(folder, int(dim), int(size), int(frames), int(cells), float(divisions),
                    float(snr), int(bits), float(z_spacing), int(seed))
        images = _trel.read_frames(f"{folder}/01", "t")
        labels = _trel.read_frames(f"{folder}/01_GT/TRA", "man_track")
        lineage = _np.loadtxt(f"{folder}/01_GT/TRA/man_track.txt", dtype=_np.int64, ndmin=2)
    return (images.astype(_np.uint8) if bits == 8 else images), labels, lineage.reshape(-1, 4)
