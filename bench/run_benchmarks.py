#!/usr/bin/env python3
"""Replay benchmark: the client against `xmllint --noout --huge` on the same action logs.

Runs both in interleaved rounds, and prints for each log the median and minimum wall time, the
peak resident memory, transactions and megabytes a second, and each ratio against its target.
Usage: run_benchmarks.py BUILD_DIR DATA_DIR [--rounds N] [--quick]
"""

import os
import resource
import statistics
import subprocess
import sys
import time

from bench_timing import benchmark_arguments, measure

# name, transactions, shape, seq order, nesting, extra client words
LOGS = [
    ("small_10k", 10_000, "small", "ascending", 0, []),
    ("small_100k", 100_000, "small", "ascending", 0, []),
    ("small_1m", 1_000_000, "small", "ascending", 0, []),
    ("medium_100k", 100_000, "medium", "shuffled", 50, []),
    ("none_1m", 1_000_000, "small", "ascending", 0, ["-b2000000000"]),
    ("report_1m", 1_000_000, "small", "ascending", 0, []),
]


def generate(build, data, name, count, shape, order, nesting):
    path = os.path.join(data, f"{name.replace('none_', 'small_').replace('report_', 'small_')}.xml")
    if not os.path.exists(path):
        subprocess.run([os.path.join(build, "bench", "generate_action_log"), str(count), shape,
                        order, str(nesting), path], check=True)
    return path


def small_runs(runs):
    return runs["small_1m"]


def main():
    arguments = benchmark_arguments()
    client = os.path.abspath(os.path.join(arguments.build, "KesMDProviderClient"))

    runs = {}
    for name, count, shape, order, nesting, extra in LOGS:
        path = os.path.abspath(generate(arguments.build, arguments.data, name, count, shape,
                                        order, nesting))
        env = {k: v for k, v in os.environ.items() if not k.startswith("MDPROVIDER_")}
        if name.startswith("report_"):
            env["MDPROVIDER_REPORT"] = os.path.abspath(os.path.join(arguments.data, "report.xml"))
        runs[name] = {"path": path, "count": count, "client": [], "xmllint": [], "env": env,
                      "libxml2": [],
                      "command": [client, "-t", "AC", "-c", "P", "-s", path] + extra}

    for round_number in range(arguments.rounds):
        for name, run in runs.items():
            run["client"].append(measure(run["command"], run["env"]))
            if name.startswith("report_"):
                continue
            run["xmllint"].append(measure(["xmllint", "--noout", "--huge", run["path"]]))
            if name == "small_1m":
                run["libxml2"].append(measure([os.path.join(arguments.build, "bench",
                                                            "libxml2_replay"), run["path"]]))
        print(f"round {round_number + 1} of {arguments.rounds} done", file=sys.stderr)

    def median(samples):
        return statistics.median(wall for wall, _ in samples)

    print(f"{'log':<12} {'MB':>6} {'client med':>10} {'min':>6} {'peak MiB':>8} "
          f"{'tx/s':>10} {'MB/s':>6} {'xmllint med':>11} {'ratio':>6}")
    for name, run in runs.items():
        size = os.path.getsize(run["path"]) / 1e6
        wall = median(run["client"])
        peak = max(rss for _, rss in run["client"]) / 1024
        lint = median(run["xmllint"] or small_runs(runs)["xmllint"])
        print(f"{name:<12} {size:6.1f} {wall:10.3f} {min(w for w, _ in run['client']):6.3f} "
              f"{peak:8.1f} {run['count'] / wall:10.0f} {size / wall:6.1f} {lint:11.3f} "
              f"{wall / lint:6.2f}")

    print(f"\nlibxml2 replay prototype, small_1m: median "
          f"{median(runs['small_1m']['libxml2']):.3f} s")

    def check(label, value, limit):
        verdict = "ok" if value <= limit else "MISSED"
        print(f"  {label:<58} {value:7.3f} <= {limit:<6} {verdict}")
        return value <= limit

    print("\ntargets")
    small, medium, none = runs["small_1m"], runs["medium_100k"], runs["none_1m"]
    per_tx_1m = median(small["client"]) / small["count"]
    per_tx_100k = median(runs["small_100k"]["client"]) / runs["small_100k"]["count"]
    results = [
        check("small 1M: client / xmllint", median(small["client"]) / median(small["xmllint"]), 0.9),
        check("small 1M: client / libxml2 replay prototype",
              median(small["client"]) / median(small["libxml2"]), 0.45),
        check("medium 100k: client / xmllint",
              median(medium["client"]) / median(medium["xmllint"]), 0.9),
        check("per transaction, 1M / 100k", per_tx_1m / per_tx_100k, 1.2),
    ]
    # The strict parse's share of a replay: a figure, not a target.
    print(f"  {'nothing selected / full replay, 1M':<58} "
          f"{median(none['client']) / median(small['client']):7.3f}")
    report = runs["report_1m"]
    results.append(check("report 1M: time with report / without",
                         median(report["client"]) / median(small["client"]), 1.10))
    results.append(check("report 1M: peak memory with report - without, MiB",
                         (max(r for _, r in report["client"]) -
                          max(r for _, r in small["client"])) / 1024, 64))
    for name, run in runs.items():
        if name.startswith("report_"):
            continue
        size_mib = os.path.getsize(run["path"]) / 2**20
        peak_mib = max(rss for _, rss in run["client"]) / 1024
        results.append(check(f"{name} peak memory / (5.5 x file + 16 MiB)",
                             peak_mib / (5.5 * size_mib + 16), 1.0))
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
