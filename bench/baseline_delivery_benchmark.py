#!/usr/bin/env python3
"""The baseline's cost on a delivering replay: the 100k-transaction replay delivered to a local
nginx, as it is, recording its answers, comparing them with a baseline of the same answers, and
comparing them with a baseline of answers in another form (other attribute order and
whitespace, so that every answer is normalised); in interleaved rounds, medians. Then the peak
memory of a 1M-transaction replay to the stand-in provider that compares with a baseline and
records one at once. nginx and the stand-in are started on free loopback ports and stopped on
every path.
Usage: baseline_delivery_benchmark.py BUILD_DIR DATA_DIR [--rounds N]
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile

from bench_timing import benchmark_arguments, free_port, measure, start_nginx, wait_for_port, log_of

# Two answers with the same content: the second in another form.
LOCATIONS = """
    location = /mdprovider {
      return 200 "<answer type='action' action='execute' status='ok'><object id='obj' type='Dimension'><property name='caption'>Region</property></object></answer>";
    }
    location = /other {
      return 200 "<answer status=\\"ok\\"  action=\\"execute\\" type=\\"action\\">\\n  <object type=\\"Dimension\\" id=\\"obj\\">\\n    <property name=\\"caption\\">Region</property>\\n  </object>\\n</answer>";
    }
"""

RECORDING_LIMIT = 1.10
SAME_LIMIT = 1.15
NORMALISING_LIMIT = 1.6
PEAK_LIMIT_MIB = 64


def main():
    arguments = benchmark_arguments()
    build = os.path.abspath(arguments.build)
    client = os.path.join(build, "KesMDProviderClient")
    work = tempfile.mkdtemp(prefix="kes-baseline-bench-")
    servers = []
    try:
        nginx, port = start_nginx(work, LOCATIONS)
        servers.append(nginx)
        same = f"http://127.0.0.1:{port}/mdprovider"
        other = f"http://127.0.0.1:{port}/other"
        log = log_of(build, arguments.data, "small_100k.xml", 100000)
        command = [client, "-t", "AC", "-c", "P", "-s", log]
        plain = {k: v for k, v in os.environ.items() if not k.startswith("MDPROVIDER_")}
        baseline = os.path.join(work, "recorded.baseline")
        measure(command, dict(plain, MDPROVIDER_DELIVER=same, MDPROVIDER_RECORD=baseline))
        modes = {
            "delivering": dict(plain, MDPROVIDER_DELIVER=same),
            "recording": dict(plain, MDPROVIDER_DELIVER=same,
                              MDPROVIDER_RECORD=os.path.join(work, "new.baseline")),
            "comparing the same": dict(plain, MDPROVIDER_DELIVER=same,
                                       MDPROVIDER_BASELINE=baseline),
            "comparing, normalised": dict(plain, MDPROVIDER_DELIVER=other,
                                          MDPROVIDER_BASELINE=baseline),
        }
        seconds = {mode: [] for mode in modes}
        for round_number in range(arguments.rounds):
            for mode, env in modes.items():
                wall, _ = measure(command, env)
                seconds[mode].append(wall)
            print(f"round {round_number + 1} of {arguments.rounds} done", file=sys.stderr)

        # A million transactions to the stand-in, compared and recorded at once.
        big = log_of(build, arguments.data, "small_1m.xml", 1000000)
        port = free_port()
        servers.append(subprocess.Popen([os.path.join(build, "mdprovider_stand_in"), "--port",
                                         str(port)], stdout=subprocess.DEVNULL))
        wait_for_port(port)
        stand_in = f"http://127.0.0.1:{port}/mdprovider"
        big_baseline = os.path.join(work, "big.baseline")
        rules = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                             "baseline_rules.txt")
        measure([client, "-t", "AC", "-c", "Recorded", "-s", big],
                dict(plain, MDPROVIDER_DELIVER=stand_in, MDPROVIDER_RECORD=big_baseline))
        big_wall, big_peak = measure(
            [client, "-t", "AC", "-c", "Compared", "-s", big],
            dict(plain, MDPROVIDER_DELIVER=stand_in, MDPROVIDER_BASELINE=big_baseline,
                 MDPROVIDER_BASELINE_RULES=rules,
                 MDPROVIDER_RECORD=os.path.join(work, "big.new")))
    finally:
        for server in servers:
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)

    medians = {mode: statistics.median(walls) for mode, walls in seconds.items()}
    print(f"\nthe 100k replay delivered to nginx, medians of {arguments.rounds}")
    for mode, wall in medians.items():
        print(f"  {mode:<28} {wall:8.3f} s {100003 / wall:10.0f} requests/s")
    print(f"\nthe 1M replay to the stand-in, comparing and recording: {big_wall:.1f} s, "
          f"peak {big_peak / 1024:.1f} MiB")

    def check(label, value, limit):
        ok = value <= limit
        print(f"  {label:<58} {value:7.3f} <= {limit:<6} {'ok' if ok else 'MISSED'}")
        return ok

    base = medians["delivering"]
    print("\ntargets")
    results = [
        check("recording / delivering", medians["recording"] / base, RECORDING_LIMIT),
        check("comparing the same answers / delivering", medians["comparing the same"] / base,
              SAME_LIMIT),
        check("comparing answers to normalise / delivering",
              medians["comparing, normalised"] / base, NORMALISING_LIMIT),
        check("1M comparing and recording peak memory, MiB", big_peak / 1024, PEAK_LIMIT_MIB),
    ]
    sys.exit(0 if all(results) else 1)


if __name__ == "__main__":
    main()
