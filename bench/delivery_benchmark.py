#!/usr/bin/env python3
"""Delivery benchmark: a replay delivered to a local nginx, against a bare libcurl loop posting
the same bodies in the same order on one handle, and against `wrk -t1 -c1` posting one such body
for as long as the replay took. Runs them in interleaved rounds and prints requests per second,
the ratios against their targets, and the peak memory of the replay with and without delivery.
nginx is started on a free loopback port and stopped on every path.
Usage: delivery_benchmark.py BUILD_DIR DATA_DIR [--rounds N]
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

from bench_timing import benchmark_arguments, measure, start_nginx

WRK_SCRIPT = """
wrk.method = "POST"
wrk.headers["Content-Type"] = "application/xml; charset=utf-8"
wrk.body = [==[{body}]==]
"""


def main():
    arguments = benchmark_arguments()
    build = os.path.abspath(arguments.build)
    client = os.path.join(build, "KesMDProviderClient")
    log = os.path.abspath(os.path.join(arguments.data, "small_100k.xml"))
    if not os.path.exists(log):
        subprocess.run([os.path.join(build, "bench", "generate_action_log"), "100000", "small",
                        "ascending", "0", log], check=True)

    work = tempfile.mkdtemp(prefix="kes-delivery-bench-")
    nginx = None
    try:
        # The bodies, as the client builds them, for the bare loop and wrk.
        trace = os.path.join(work, "requests.trace")
        env = dict(os.environ, MDPROVIDER_TRACE=trace)
        measure([client, "-t", "AC", "-c", "P", "-s", log], env)
        with open(trace, "rb") as records:
            bodies = records.read().split(b"\0")[:-1]
        requests = len(bodies)
        with open(os.path.join(work, "post.lua"), "w") as script:
            script.write(WRK_SCRIPT.format(body=bodies[1].decode()))

        nginx, port = start_nginx(work, '    location = /mdprovider { return 200 "<ok/>"; }')
        url = f"http://127.0.0.1:{port}/mdprovider"

        delivering = dict(os.environ, MDPROVIDER_DELIVER=url)
        plain = {k: v for k, v in os.environ.items() if not k.startswith("MDPROVIDER_")}
        samples = {"client": [], "bare": [], "wrk": [], "peak_on": [], "peak_off": [],
                   "against_bare": []}
        for round_number in range(arguments.rounds):
            # The whole replay: parsing the log, building and delivering.
            wall, peak = measure([client, "-t", "AC", "-c", "P", "-s", log], delivering)
            samples["client"].append(requests / wall)
            samples["peak_on"].append(peak)
            _, peak = measure([client, "-t", "AC", "-c", "P", "-s", log], plain)
            samples["peak_off"].append(peak)
            # Timed as the replay is: the whole process.
            wall, _ = measure([os.path.join(build, "bench", "bare_post_loop"), trace, url])
            samples["bare"].append(requests / wall)
            # Each round's own ratio: the machine's speed drifts between rounds.
            samples["against_bare"].append(samples["client"][-1] / samples["bare"][-1])
            seconds = max(1, round(requests / samples["client"][-1]))
            out = subprocess.run(["wrk", "-t1", "-c1", f"-d{seconds}s", "-s",
                                  os.path.join(work, "post.lua"), url],
                                 check=True, capture_output=True, text=True).stdout
            samples["wrk"].append(float(re.search(r"Requests/sec:\s*([0-9.]+)", out).group(1)))
            print(f"round {round_number + 1} of {arguments.rounds} done", file=sys.stderr)
    finally:
        if nginx is not None:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)

    client_rate = statistics.median(samples["client"])
    bare_rate = statistics.median(samples["bare"])
    wrk_rate = statistics.median(samples["wrk"])
    peak_on = max(samples["peak_on"]) / 1024
    peak_off = max(samples["peak_off"]) / 1024
    print(f"\ndelivery of {requests} requests (100k small transactions) to nginx on loopback, "
          f"medians of {arguments.rounds}")
    print(f"  {'client replay':<28} {client_rate:10.0f} requests/s")
    print(f"  {'bare libcurl loop':<28} {bare_rate:10.0f} requests/s")
    print(f"  {'wrk -t1 -c1':<28} {wrk_rate:10.0f} requests/s")
    print(f"  {'peak memory delivering':<28} {peak_on:10.1f} MiB")
    print(f"  {'peak memory not delivering':<28} {peak_off:10.1f} MiB")

    def check(label, value, limit, at_least):
        ok = value >= limit if at_least else value <= limit
        sign = ">=" if at_least else "<="
        print(f"  {label:<58} {value:7.3f} {sign} {limit:<6} {'ok' if ok else 'MISSED'}")
        return ok

    print("\ntargets")
    results = [
        check("client / bare libcurl loop (median of the rounds' ratios)",
              statistics.median(samples["against_bare"]), 0.95, True),
        check("client / wrk", client_rate / wrk_rate, 0.7, True),
        check("peak memory delivering - not delivering, MiB", peak_on - peak_off, 16, False),
    ]
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
