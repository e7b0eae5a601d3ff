#!/usr/bin/env python3
"""The replay's CPU against its floor: two bare expat passes (`xmlwf`) over the 1M log.

The client replays the log without delivery, standard output to a file as a CI job keeps it;
`xmlwf` reads the same log twice, as the replay does (a first pass to count and check, then one
transaction at a time). Both run in interleaved rounds; CPU is user plus system time of the child.
With --baseline, a build of the client from before the replay streamed (it held the log in memory)
runs in the same rounds.
Usage: replay_floor.py BUILD_DIR DATA_DIR [--rounds N] [--baseline CLIENT]
"""

import os
import resource
import statistics
import subprocess
import sys
import tempfile

from bench_timing import benchmark_arguments, log_of

TARGET = 1.5


def cpu_seconds(command, output):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    with open(output, "wb") as out:
        subprocess.run(command, stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                       check=True, env={k: v for k, v in os.environ.items()
                                        if not k.startswith("MDPROVIDER_")})
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    arguments = benchmark_arguments()
    log = log_of(arguments.build, arguments.data, "small_1m.xml", 1_000_000)
    client = os.path.abspath(os.path.join(arguments.build, "KesMDProviderClient"))
    samples = {"client": [], "xmlwf x2": [], "in-memory": []}
    with tempfile.TemporaryDirectory() as work:
        output = os.path.join(work, "console.txt")
        for _ in range(arguments.rounds):
            samples["client"].append(
                cpu_seconds([client, "-t", "AC", "-c", "P", "-s", log], output))
            samples["xmlwf x2"].append(cpu_seconds(["xmlwf", log], output) +
                                       cpu_seconds(["xmlwf", log], output))
            if arguments.baseline:
                samples["in-memory"].append(cpu_seconds(
                    [arguments.baseline, "-t", "AC", "-c", "P", "-s", log], output))
    medians = {name: statistics.median(s) for name, s in samples.items() if s}
    for name, value in medians.items():
        print(f"{name:<10} median CPU {value:7.3f} s over {arguments.rounds} rounds")
    ratio = medians["client"] / medians["xmlwf x2"]
    met = ratio <= TARGET
    print(f"  client / two xmlwf passes, CPU {ratio:7.3f} <= {TARGET}   {'ok' if met else 'MISSED'}")
    if "in-memory" in medians:
        against = medians["client"] / medians["in-memory"]
        met = met and against <= 1.0
        print(f"  client / in-memory replay, CPU {against:7.3f} <= 1.0   "
              f"{'ok' if against <= 1.0 else 'MISSED'}")
    sys.exit(0 if met else 1)


if __name__ == "__main__":
    main()
