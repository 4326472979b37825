#!/usr/bin/env python3
"""Times two commands in turn, RUNS times each, and prints each one's median wall
time and the median of the per-run ratios, each with its spread ((max - min) /
median): one run on a shared machine says little.
Usage: compare_runs.py LABEL RUNS GOAL -- COMMAND_A... -- COMMAND_B...
(the ratio is A / B)."""
import statistics
import subprocess
import sys
import time


def timed(command):
    t0 = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - t0) * 1000


def spread(values):
    m = statistics.median(values)
    return (max(values) - min(values)) / m * 100 if m else 0.0


def main():
    label, runs, goal = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    rest = sys.argv[4:]
    split = [i for i, a in enumerate(rest) if a == "--"]
    a, b = rest[split[0] + 1:split[1]], rest[split[1] + 1:]
    times_a, times_b, ratios = [], [], []
    for _ in range(runs):
        tb = timed(b)
        ta = timed(a)
        times_a.append(ta)
        times_b.append(tb)
        ratios.append(ta / tb)
    print(f"{label}: {statistics.median(times_a):.0f} ms (spread {spread(times_a):.0f} %) against "
          f"{statistics.median(times_b):.0f} ms (spread {spread(times_b):.0f} %) over {runs} runs; "
          f"median ratio {statistics.median(ratios):.2f} (spread {spread(ratios):.0f} %), "
          f"best {min(ratios):.2f} (goal: {goal})")


if __name__ == "__main__":
    main()
