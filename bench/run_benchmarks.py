#!/usr/bin/env python3
"""Replay benchmark: the client against `xmllint --noout --huge` on the same action logs.

Runs both in interleaved rounds, and prints for each log the median and minimum wall time, the
peak resident memory, transactions and megabytes a second, and each ratio against its target.
With --baseline, another build of the client (an earlier commit) runs the 1M log in the same
rounds. Once after the rounds, the 1M and 10M logs are replayed with a report and a trace, and
the 10M log without, for their peak memory.
Usage: run_benchmarks.py BUILD_DIR DATA_DIR [--rounds N] [--baseline CLIENT]
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
# The replay's memory must not grow with the log.
PEAK_LIMIT_MIB = 64


def generate(build, data, name, count, shape, order, nesting):
    base = name.replace('none_', 'small_').replace('report_', 'small_')
    path = os.path.join(data, f"{base}.xml")
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

    baseline = []
    for round_number in range(arguments.rounds):
        for name, run in runs.items():
            run["client"].append(measure(run["command"], run["env"]))
            if name.startswith("report_"):
                continue
            run["xmllint"].append(measure(["xmllint", "--noout", "--huge", run["path"]]))
            if name == "small_1m":
                run["libxml2"].append(measure([os.path.join(arguments.build, "bench",
                                                            "libxml2_replay"), run["path"]]))
                if arguments.baseline:
                    baseline.append(measure([arguments.baseline] + run["command"][1:],
                                            run["env"]))
        print(f"round {round_number + 1} of {arguments.rounds} done", file=sys.stderr)

    peaks = once_for_memory(arguments, client, runs["small_1m"])

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
    if baseline:
        print(f"baseline client {arguments.baseline}, small_1m: median {median(baseline):.3f} s, "
              f"peak {max(r for _, r in baseline) / 1024:.1f} MiB")
    print("\nonce, for memory")
    for label, (wall, rss) in peaks.items():
        print(f"  {label:<32} {wall:8.1f} s {rss / 1024:8.1f} MiB")

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
    if baseline:
        results.append(check("small 1M: client / baseline client",
                             median(small["client"]) / median(baseline), 1.05))
    # The prototype's wall time is mostly its kernel faulting in 2 GB: a figure, not a target.
    print(f"  {'small 1M: client / libxml2 replay prototype':<58} "
          f"{median(small['client']) / median(small['libxml2']):7.3f}")
    for name, run in runs.items():
        results.append(check(f"{name} peak memory, MiB",
                             max(rss for _, rss in run["client"]) / 1024, PEAK_LIMIT_MIB))
    for label, (_, rss) in peaks.items():
        results.append(check(f"{label} peak memory, MiB", rss / 1024, PEAK_LIMIT_MIB))
    sys.exit(0 if all(results) else 1)


def once_for_memory(arguments, client, small_1m):
    """Peak memory of the 1M and 10M replays with a report and a trace, and of the 10M without."""
    log_10m = generate(arguments.build, arguments.data, "small_10m", 10_000_000, "small",
                       "ascending", 0)
    env = {k: v for k, v in os.environ.items() if not k.startswith("MDPROVIDER_")}
    written = dict(env, MDPROVIDER_REPORT=os.path.abspath(os.path.join(arguments.data, "report.xml")),
                   MDPROVIDER_TRACE=os.path.abspath(os.path.join(arguments.data, "requests.trace")))
    peaks = {}
    for label, path, run_env in [("small_1m with report and trace", small_1m["path"], written),
                                 ("small_10m", log_10m, env),
                                 ("small_10m with report and trace", log_10m, written)]:
        peaks[label] = measure([client, "-t", "AC", "-c", "P", "-s", os.path.abspath(path)],
                               run_env)
        for name in ("report.xml", "requests.trace"):
            if os.path.exists(os.path.join(arguments.data, name)):
                os.remove(os.path.join(arguments.data, name))
    return peaks


if __name__ == "__main__":
    main()
