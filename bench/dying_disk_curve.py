#!/usr/bin/env python3
"""Readable bytes over time for rescue runs on a dying medium, from the failing filesystem's traces.

Each run is given as LABEL TRACE OUTPUT START SECONDS PANEL: the read trace faultyfs wrote for
it (one line per read: microseconds offset length delivered ok|failed), the file the tool wrote,
the moment the tool started (seconds of the monotonic clock; earlier reads are left out), its
wall-clock time, and the panel of the figure it is drawn in. For each run it prints when the
readable bytes read so far (the union of the byte ranges the medium delivered, outside the
damaged areas) reached 50/90/99/99.9 % of all readable bytes, counted from the run's first
read; the time of its last read and the wall-clock time; its reads and failed reads; and the
readable bytes that ended up in its output (the output compared with the source outside the
damaged areas). With --png it draws the curves, one panel per PANEL name.
"""

import argparse
import bisect
import re
import sys

MILESTONES = (50.0, 90.0, 99.0, 99.9)


def parse_ranges(text):
    ranges = []
    for item in filter(None, (part.strip() for part in text.split(","))):
        start, end = item.split("-")
        ranges.append((int(start, 0), int(end, 0)))
    return merge(sorted(ranges))


def merge(ranges):
    merged = []
    for start, end in ranges:
        if merged and start <= merged[-1][1]:
            merged[-1] = (merged[-1][0], max(merged[-1][1], end))
        else:
            merged.append((start, end))
    return merged


def outside(start, end, ranges):
    """The parts of [start, end) outside the sorted disjoint ranges."""
    parts = []
    i = max(bisect.bisect_right(ranges, (start, float("inf"))) - 1, 0)
    while start < end and i < len(ranges) and ranges[i][0] < end:
        if ranges[i][1] > start:
            if ranges[i][0] > start:
                parts.append((start, ranges[i][0]))
            start = max(start, ranges[i][1])
        i += 1
    if start < end:
        parts.append((start, end))
    return parts


class Coverage:
    """The union of byte ranges read so far, as sorted disjoint [start, end) pairs."""

    def __init__(self):
        self.starts = []
        self.ends = []

    def add(self, start, end):
        """Adds [start, end) and returns how many of its bytes were not covered before."""
        if start >= end:
            return 0
        # Every range that touches or overlaps [start, end) is merged into one.
        first = bisect.bisect_left(self.ends, start)
        last = bisect.bisect_right(self.starts, end)
        covered = 0
        new_start, new_end = start, end
        for i in range(first, last):
            covered += max(0, min(end, self.ends[i]) - max(start, self.starts[i]))
            new_start = min(new_start, self.starts[i])
            new_end = max(new_end, self.ends[i])
        self.starts[first:last] = [new_start]
        self.ends[first:last] = [new_end]
        return (end - start) - covered


def read_trace(path, since):
    """The reads of a trace as (seconds, offset, length, delivered, failed), in time order:
    those answered at or after `since` (seconds of the system's monotonic clock), so that what
    others read before the tool started (udev probing a new loop device) is left out."""
    reads = []
    origin = None
    with open(path) as trace:
        for line in trace:
            if line.startswith("#"):
                found = re.search(r"origin (\d+)", line)
                if found:
                    origin = int(found.group(1)) / 1e6
                continue
            if not line.strip():
                continue
            micro, offset, length, delivered, result = line.split()
            reads.append((int(micro) / 1e6, int(offset), int(length), int(delivered),
                          result == "failed"))
    if origin is None:
        sys.exit(f"{path}: no origin in the trace's first line")
    reads.sort(key=lambda read: read[0])
    return [read for read in reads if origin + read[0] >= since]


def curve(reads, size, bad):
    """Points (seconds since the first read, readable bytes read so far) after every read that
    brought new readable bytes."""
    if not reads:
        return []
    begin = reads[0][0]
    coverage = Coverage()
    points = [(0.0, 0)]
    total = 0
    for seconds, offset, _length, delivered, _failed in reads:
        end = min(offset + delivered, size)
        if end <= offset:
            continue
        # The medium never delivers a damaged byte; clipped all the same, so that the curve
        # counts readable bytes only.
        fresh = sum(coverage.add(a, b) for a, b in outside(offset, end, bad))
        if fresh:
            total += fresh
            points.append((seconds - begin, total))
    return points


def time_to(points, target):
    for seconds, total in points:
        if total >= target:
            return seconds
    return None


def readable_in_output(source, output, size, bad):
    """Bytes of the output that equal the source outside the damaged areas."""
    import numpy

    source_bytes = numpy.memmap(source, dtype=numpy.uint8, mode="r")
    try:
        output_bytes = numpy.memmap(output, dtype=numpy.uint8, mode="r")
    except (ValueError, OSError):
        return 0
    length = min(size, len(source_bytes), len(output_bytes))
    same = 0
    chunk = 16 << 20
    for start in range(0, length, chunk):
        end = min(start + chunk, length)
        equal = source_bytes[start:end] == output_bytes[start:end]
        for bad_start, bad_end in bad:
            if bad_start < end and start < bad_end:
                equal[max(bad_start, start) - start:min(bad_end, end) - start] = False
        same += int(equal.sum())
    return same


def seconds_text(value):
    return "never" if value is None else f"{value:.3f}"


def draw(runs, readable, png, title):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    panels = []
    for run in runs:
        if run["panel"] not in panels:
            panels.append(run["panel"])
    figure, axes = plt.subplots(1, len(panels), figsize=(6.4 * len(panels), 4.6), squeeze=False)
    floor = 1e-3
    for axis, panel in zip(axes[0], panels):
        for run in (r for r in runs if r["panel"] == panel):
            xs = [max(seconds, floor) for seconds, _ in run["points"]]
            ys = [100.0 * total / readable for _, total in run["points"]]
            # Held flat to the run's end, so a run that ends late shows where it stood.
            xs.append(max(run["last"], floor))
            ys.append(ys[-1] if ys else 0.0)
            axis.step(xs, ys, where="post", label=run["label"], linestyle=run.get("style", "-"))
        axis.set_xscale("log")
        axis.set_xlim(left=floor)
        axis.set_ylim(0, 101)
        axis.set_xlabel("seconds since the first read (log)")
        axis.set_ylabel("readable bytes read (%)")
        axis.set_title(panel)
        axis.grid(True, which="both", alpha=0.3)
        axis.axhline(99, color="grey", linewidth=0.7, linestyle=":")
        axis.legend(loc="lower right", fontsize="small")
    figure.suptitle(title)
    figure.tight_layout()
    figure.savefig(png, dpi=100)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, help="the medium's bytes (always readable)")
    parser.add_argument("--bad", required=True, help="damaged areas: START-END[,START-END...]")
    parser.add_argument("--run", nargs=6, action="append", default=[],
                        metavar=("LABEL", "TRACE", "OUTPUT", "START", "SECONDS", "PANEL"))
    parser.add_argument("--ratio", nargs=2, action="append", default=[], metavar=("PEER", "OURS"),
                        help="print PEER's time to 99%% over OURS'")
    parser.add_argument("--in-order", nargs=2, action="append", default=[],
                        metavar=("OURS", "IN_ORDER"),
                        help="print OURS' failed reads against IN_ORDER's plus two per area")
    parser.add_argument("--png", help="draw the curves into this PNG")
    parser.add_argument("--title", default="Readable bytes over time on a dying medium")
    options = parser.parse_args()

    import os

    size = os.path.getsize(options.source)
    bad = [(start, min(end, size)) for start, end in parse_ranges(options.bad) if start < size]
    readable = size - sum(end - start for start, end in bad)

    runs = []
    for label, trace, output, start, wall, panel in options.run:
        reads = read_trace(trace, float(start))
        points = curve(reads, size, bad)
        run = {
            "label": label,
            "panel": panel,
            "points": points,
            "reads": len(reads),
            "failed": sum(1 for read in reads if read[4]),
            "last": reads[-1][0] - reads[0][0] if reads else 0.0,
            "wall": float(wall),
            "output": readable_in_output(options.source, output, size, bad),
            "times": [time_to(points, readable * share / 100.0) for share in MILESTONES],
        }
        if "no-skip" in label:
            run["style"] = "--"
        runs.append(run)

    print(f"readable bytes: {readable} of {size}; {len(bad)} damaged areas")
    header = ("run", "50%", "90%", "99%", "99.9%", "last read", "wall", "reads", "failed",
              "readable in output")
    print("{:<24} {:>8} {:>8} {:>8} {:>8} {:>9} {:>8} {:>7} {:>7} {:>19}".format(*header))
    for run in runs:
        print("{:<24} {:>8} {:>8} {:>8} {:>8} {:>9.3f} {:>8.3f} {:>7} {:>7} {:>19}".format(
            run["label"], *(seconds_text(t) for t in run["times"]), run["last"], run["wall"],
            run["reads"], run["failed"], f"{run['output']} ({100.0 * run['output'] / readable:.3f}%)"))
    print("times in seconds from each run's first read; wall: the whole command")

    by_label = {run["label"]: run for run in runs}
    for peer, ours in options.ratio:
        if peer not in by_label or ours not in by_label:
            continue
        peer_time, our_time = by_label[peer]["times"][2], by_label[ours]["times"][2]
        if peer_time is None or our_time is None:
            print(f"time to 99 %: {peer} / {ours}: not reached by both")
        else:
            ratio = peer_time / our_time if our_time > 0 else float("inf")
            print(f"time to 99 %: {peer} / {ours} = {ratio:.3f} (target >= 1.0)")
        print(f"wall time: {peer} / {ours} = "
              f"{by_label[peer]['wall'] / by_label[ours]['wall']:.3f}")
        print(f"failed reads: {ours} {by_label[ours]['failed']}, {peer} {by_label[peer]['failed']};"
              f" readable bytes in output: {ours} {by_label[ours]['output']},"
              f" {peer} {by_label[peer]['output']} (of {readable})")

    for ours, in_order in options.in_order:
        if ours not in by_label or in_order not in by_label:
            continue
        bound = by_label[in_order]["failed"] + 2 * len(bad)
        print(f"failed reads: {ours} {by_label[ours]['failed']}, {in_order} "
              f"{by_label[in_order]['failed']} + 2 per damaged area = {bound} (target: at most)")

    if options.png and runs:
        draw(runs, readable, options.png, options.title)
        print(f"curve: {options.png}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
