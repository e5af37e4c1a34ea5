#!/usr/bin/python3
"""Draws bench/results/report.png from bench/results/latest.json (written by report.py).
Uses Debian's matplotlib, hence the system interpreter."""
import json
import statistics
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

RESULTS = Path(__file__).resolve().parent / "results"


def main():
    data = json.loads((RESULTS / "latest.json").read_text())
    produced = data["output_bytes"]
    fig, (left, right) = plt.subplots(1, 2, figsize=(12, 4.8),
                                      gridspec_kw={"width_ratios": [3, 2]})
    names = list(data["extraction"])
    rates = [produced / statistics.median(s[0] for s in data["extraction"][n]) / 1e6
             for n in names]
    colours = ["#2e7d32" if "reader" in n else "#9e9e9e" for n in names]
    left.barh(names, rates, color=colours)
    left.invert_yaxis()
    left.set_xlabel("MB/s of output (median, whole process)")
    left.set_title(f"Extracting a {data['package_bytes'] / 2**20:.0f} MiB package")
    for y, rate in enumerate(rates):
        left.text(rate, y, f" {rate:.0f}", va="center")
    whole = data["whole"]
    labels = {"program full": "program\n(Wine)", "curl + bsdtar": "curl +\nbsdtar",
              "curl + unzip": "curl +\nunzip", "program tiny": "program,\ntiny package"}
    keys = [k for k in labels if k in whole]
    times = [statistics.median(s[0] for s in whole[k]) for k in keys]
    right.bar([labels[k] for k in keys], times,
              color=["#2e7d32" if k.startswith("program") else "#9e9e9e" for k in keys])
    right.set_ylabel("seconds (median)")
    right.set_title("Whole run: download and unpack")
    for x, t in enumerate(times):
        right.text(x, t, f"{t:.2f}", ha="center", va="bottom")
    fig.tight_layout()
    fig.savefig(RESULTS / "report.png", dpi=100)


if __name__ == "__main__":
    main()
