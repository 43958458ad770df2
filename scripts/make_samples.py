#!/usr/bin/env python3
"""Writes record files as the instruments export them (seeded, reproducible).

  make_samples.py                         the small sample folders under samples/
  make_samples.py --model 16 --lines 1000000 --files 1 --out DIR
                                          one large set, for the benchmarks
  --kind smooth                           a daily swing whose HH and LL come in
                                          rare runs, as a sensor out of its range
                                          writes them (about one a week a channel)
  --kind noisy                            a controller holding its set point with
                                          noise of about 1 % of its range, rare
                                          spikes, HH and LL spread over every
                                          stretch, and gaps without records

Each folder gets VNMETER.INI (the model code on its first line) and record
files named after their day (20240301.CSV: exactly 12 characters), a header
line, then one record per interval with CRLF line ends.
"""
import argparse
import datetime
import math
import random
from pathlib import Path

SAMPLES = {
    "controller-2ch": 12,
    "controller-6ch": 16,
    "recorder-8ch": 208,
    "recorder-16ch": 216,
    "level-meter": 2,
    "temp-humidity": 3,
    "alarm-meter-8": 4,
}


class Shape:
    """How the values of a set move and where HH and LL stand in for them."""

    def __init__(self, kind):
        self.kind = kind
        self.run = {}  # channel: (marker, readings left) of the smooth kind's runs

    def marker(self, rng, channel, value):
        if self.kind == "smooth":
            marker, left = self.run.get(channel, ("", 0))
            if left == 0 and rng.random() < 1 / (7 * 86400):
                marker, left = rng.choice(("HH", "LL")), rng.randint(1, 600)
            if left == 0:
                return value
            self.run[channel] = (marker, left - 1)
            return marker
        r = rng.random()
        if r < 0.006:
            return "HH"
        if r < 0.012:
            return "LL"
        return value

    def pv(self, rng, t, channel, base=50.0, swing=12.0):
        if self.kind == "noisy":
            v = base + channel * 3 + rng.gauss(0, 0.5)
            if rng.random() < 2e-5:
                v += rng.choice((-1, 1)) * rng.uniform(10, 30)
        else:
            v = base + channel * 3 + swing * math.sin(t / 1800.0 + channel) + rng.gauss(0, 0.4)
        return self.marker(rng, channel, f"{v:.1f}")

    def gap(self, rng):
        """Seconds without records that start here (the noisy kind's, about one a day)."""
        if self.kind == "noisy" and rng.random() < 1 / 86400:
            return rng.randint(60, 1800)
        return 0


def header(model):
    if 11 <= model <= 16:
        return ",".join(f"PV{c},SV{c},OUT{c}" for c in range(1, model - 9)) + ",Time"
    if model in (208, 216):
        return ",".join(f"PV{c}" for c in range(1, model - 199)) + ",Time"
    if model == 2:
        return "PV," + ",".join(f"AL{a},ALM{a}" for a in range(1, 5)) + ",Time"
    if model == 3:
        return "T,AL1,ALM1,H,AL2,ALM2,Time"
    return "PV," + ",".join(f"AL{a},ALM{a}" for a in range(1, 9)) + ",Time"


def record(rng, shape, model, t):
    if 11 <= model <= 16:
        fields = []
        for c in range(model - 10):
            value = shape.pv(rng, t, c)
            out = max(0.0, min(100.0, 50 + 40 * math.sin(t / 900.0 + c) + rng.gauss(0, 2)))
            fields += [value, f"{50.0 + c * 3:.1f}", f"{out:.1f}"]
        return fields
    if model in (208, 216):
        return [shape.pv(rng, t, c, base=120.0, swing=30.0) for c in range(model - 200)]
    if model == 2:
        level = shape.pv(rng, t, 0, base=2.5, swing=1.2)
        fields = [level]
        for a, limit in enumerate((3.5, 3.0, 1.5, 1.0), start=1):
            try:
                on = (float(level) > limit) if a <= 2 else (float(level) < limit)
            except ValueError:
                on = True
            fields += [f"{limit:.1f}", "01" if on else "00"]
        return fields
    if model == 3:
        temp = shape.pv(rng, t, 0, base=24.0, swing=4.0)
        hum = shape.marker(rng, 1, f"{55 + 15 * math.sin(t / 2400.0) + rng.gauss(0, 0.8):.1f}")
        return [temp, "30.0", "00", hum, "80.0", "00"]
    value = shape.pv(rng, t, 0, base=300.0, swing=80.0)
    fields = [value]
    for a in range(1, 9):
        fields += [f"{200 + a * 25:.1f}", "01" if rng.random() < 0.05 else "00"]
    return fields


def write_set(folder, model, files, lines, interval, seed, start, kind="spread"):
    rng = random.Random(seed)
    shape = Shape(kind)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "VNMETER.INI").write_bytes(f"{model}\r\n".encode())
    t = start
    for day in range(files):
        stamp = (start + datetime.timedelta(days=day)).strftime("%Y%m%d")
        t = max(t, start + datetime.timedelta(days=day))
        with open(folder / f"{stamp}.CSV", "wb", buffering=1 << 20) as f:
            f.write((header(model) + "\r\n").encode())
            chunk = []
            skip = 0
            for _ in range(lines):
                secs = (t - start).total_seconds()
                row = record(rng, shape, model, secs) + [t.strftime("%Y-%m-%d %H:%M:%S")]
                t += datetime.timedelta(seconds=interval)
                skip = max(skip - 1, shape.gap(rng) // interval)
                if skip:
                    continue  # a reading of a gap: not written
                chunk.append(",".join(row))
                if len(chunk) >= 10000:
                    f.write(("\r\n".join(chunk) + "\r\n").encode())
                    chunk = []
            if chunk:
                f.write(("\r\n".join(chunk) + "\r\n").encode())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--model", type=int)
    parser.add_argument("--lines", type=int, default=300)
    parser.add_argument("--files", type=int, default=2)
    parser.add_argument("--interval", type=int, default=60)
    parser.add_argument("--seed", type=int, default=20240301)
    parser.add_argument("--kind", choices=("spread", "smooth", "noisy"), default="spread")
    parser.add_argument("--out")
    args = parser.parse_args()
    start = datetime.datetime(2024, 3, 1, 0, 0, 0)
    if args.model is not None:
        write_set(Path(args.out), args.model, args.files, args.lines, args.interval, args.seed, start, args.kind)
        return
    root = Path(__file__).resolve().parent.parent / "samples"
    for i, (name, model) in enumerate(SAMPLES.items()):
        write_set(root / name, model, 2, 360, 240, args.seed + i, start)


if __name__ == "__main__":
    main()
