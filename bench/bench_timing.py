"""What the benchmark scripts share: their arguments and timing one run of a program."""

import argparse
import os
import re
import subprocess
import sys
import time


# bench/peak_memory, which runs the program and reports its own peak; set by
# benchmark_arguments. A child forked from Python would count Python's pages.
PEAK_MEMORY = None


def measure(command, env=None):
    """Wall seconds and peak resident KiB of one run, standard output to /dev/null."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        process = subprocess.run([PEAK_MEMORY] + command, stdout=null,
                                 stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
        wall = time.perf_counter() - start
    if process.returncode != 0:
        sys.exit(f"failed ({process.returncode}): {' '.join(command)}")
    peaks = re.findall(rb"^peak_kib ([0-9]+)$", process.stderr, re.M)
    return wall, int(peaks[-1])


def benchmark_arguments():
    """BUILD_DIR DATA_DIR [--rounds N]: the build to measure, where the logs are kept."""
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("data")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--baseline", help="another build of the client to compare the 1M replay with")
    arguments = parser.parse_args()
    os.makedirs(arguments.data, exist_ok=True)
    global PEAK_MEMORY
    PEAK_MEMORY = os.path.abspath(os.path.join(arguments.build, "bench", "peak_memory"))
    return arguments
