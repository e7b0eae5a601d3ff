#!/usr/bin/env python3
"""The run's page (MDPROVIDER_HTML), what it costs: the 100k-transaction replay delivered to a
local nginx with and without the page, in interleaved rounds, medians; the peak memory of the
100k and 1M replays with the page and of the 1M one without; and the page of a 1M replay compared
with a baseline from which every tenth answer differs (some 100,000 differences): its size, and
what the run took; and the page fed and written in-process (bench/page_feed_benchmark), its cost
without the noise of a delivery. nginx is started on a free loopback port and stopped on every path.
Usage: page_benchmark.py BUILD_DIR DATA_DIR [--rounds N]
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

from bench_timing import benchmark_arguments, measure, start_nginx, log_of

ANSWER = ("<answer type='action' action='execute' status='ok'><object id='obj' "
          "type='Dimension'><property name='caption'>Region</property></object></answer>")
CHANGED = ANSWER.replace(">Region<", ">Region (changed)<")
# The client keeps one connection for its run: every tenth request on it differs.
LOCATIONS = f"""
    location = /mdprovider {{
      return 200 "{ANSWER}";
    }}
    location = /mixed {{
      if ($connection_requests ~ 0$) {{
        return 200 "{CHANGED}";
      }}
      return 200 "{ANSWER}";
    }}
"""

TIME_LIMIT = 1.05
PAGE_MEMORY_LIMIT_MIB = 8
FLAT_LIMIT_MIB = 2
SIZE_LIMIT_MB = 5


def main():
    arguments = benchmark_arguments()
    build = os.path.abspath(arguments.build)
    client = os.path.join(build, "KesMDProviderClient")
    work = tempfile.mkdtemp(prefix="kes-page-bench-")
    nginx = None
    try:
        nginx, port = start_nginx(work, LOCATIONS)
        same = f"http://127.0.0.1:{port}/mdprovider"
        mixed = f"http://127.0.0.1:{port}/mixed"
        plain = {k: v for k, v in os.environ.items() if not k.startswith("MDPROVIDER_")}
        page = os.path.join(work, "page.html")
        small = log_of(build, arguments.data, "small_100k.xml", 100000)
        big = log_of(build, arguments.data, "small_1m.xml", 1000000)

        modes = {"delivering": dict(plain, MDPROVIDER_DELIVER=same),
                 "delivering with the page": dict(plain, MDPROVIDER_DELIVER=same,
                                                  MDPROVIDER_HTML=page)}
        command = [client, "-t", "AC", "-c", "P", "-s", small]
        measure(command, modes["delivering"])
        seconds = {mode: [] for mode in modes}
        peaks = {}
        for round_number in range(arguments.rounds):
            for mode, env in modes.items():
                wall, peak = measure(command, env)
                seconds[mode].append(wall)
                peaks[f"100k {mode}"] = peak
            print(f"round {round_number + 1} of {arguments.rounds} done", file=sys.stderr)
        small_page = os.path.getsize(page)

        big_command = [client, "-t", "AC", "-c", "P", "-s", big]
        _, peaks["1M delivering"] = measure(big_command, modes["delivering"])
        big_wall, peaks["1M delivering with the page"] = measure(
            big_command, modes["delivering with the page"])
        big_page = os.path.getsize(page)

        baseline = os.path.join(work, "recorded.baseline")
        measure(big_command, dict(plain, MDPROVIDER_DELIVER=same, MDPROVIDER_RECORD=baseline))
        compared = dict(plain, MDPROVIDER_DELIVER=mixed, MDPROVIDER_BASELINE=baseline,
                        MDPROVIDER_HTML=page)
        # A run with differences ends with 1, which measure() takes for a failure.
        peak_memory = os.path.join(build, "bench", "peak_memory")
        done = subprocess.run([peak_memory, *big_command], env=compared, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if done.returncode != 1:
            sys.exit(f"the compared 1M replay ended with {done.returncode}")
        peaks["1M compared, with the page"] = int(
            re.findall(rb"^peak_kib ([0-9]+)$", done.stderr, re.M)[-1])
        with open(page, "rb") as written:
            content = written.read()
        differing = re.search(rb'id="count-differing">([0-9,]+)<', content).group(1).decode()
        diff_page = len(content)
    finally:
        if nginx is not None:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)

    medians = {mode: statistics.median(walls) for mode, walls in seconds.items()}
    print(f"\nthe 100k replay delivered to nginx, medians of {arguments.rounds}")
    for mode, wall in medians.items():
        print(f"  {mode:<28} {wall:8.3f} s {100003 / wall:10.0f} requests/s")
    print("\npeak memory")
    for name, peak in peaks.items():
        print(f"  {name:<40} {peak / 1024:8.1f} MiB")
    print("\npages")
    print(f"  100k replay                              {small_page / 1e6:8.3f} MB")
    print(f"  1M replay ({big_wall:.1f} s)                 {big_page / 1e6:8.3f} MB")
    print(f"  1M replay, {differing} differing answers   {diff_page / 1e6:8.3f} MB")

    def check(label, value, limit):
        ok = value <= limit
        print(f"  {label:<58} {value:7.3f} <= {limit:<6} {'ok' if ok else 'MISSED'}")
        return ok

    print()
    sys.stdout.flush()
    subprocess.run([os.path.join(build, "bench", "page_feed_benchmark")], check=True)

    mib = 1024
    print("\ntargets")
    results = [
        check("with the page / without, 100k delivering",
              medians["delivering with the page"] / medians["delivering"], TIME_LIMIT),
        check("1M peak memory with the page - without, MiB",
              (peaks["1M delivering with the page"] - peaks["1M delivering"]) / mib,
              PAGE_MEMORY_LIMIT_MIB),
        check("peak memory with the page, 1M - 100k, MiB",
              (peaks["1M delivering with the page"] - peaks["100k delivering with the page"])
              / mib, FLAT_LIMIT_MIB),
        check(f"page of the 1M replay with {differing} differences, MB", diff_page / 1e6,
              SIZE_LIMIT_MB),
    ]
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
