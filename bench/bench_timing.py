"""What the benchmark scripts share: their arguments and timing one run of a program."""

import argparse
import os
import subprocess
import sys
import time


def measure(command, env=None):
    """Wall seconds and peak resident KiB of one run, standard output to /dev/null."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=null, stdin=subprocess.DEVNULL, env=env)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed ({status}): {' '.join(command)}")
    return wall, usage.ru_maxrss


def benchmark_arguments():
    """BUILD_DIR DATA_DIR [--rounds N]: the build to measure, where the logs are kept."""
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("data")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--baseline", help="another build of the client to compare the 1M replay with")
    arguments = parser.parse_args()
    os.makedirs(arguments.data, exist_ok=True)
    return arguments
