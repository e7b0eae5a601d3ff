"""What the benchmark scripts share: their arguments, the action logs they replay, timing one
run of a program, and nginx on a free loopback port."""

import argparse
import os
import re
import socket
import subprocess
import sys
import time


# bench/peak_memory, which runs the program and reports its own peak; set by
# benchmark_arguments. A child forked from Python would count Python's pages.
PEAK_MEMORY = None


def log_of(build, data, name, count):
    """The generated log of `count` small transactions in ascending order, made once."""
    log = os.path.abspath(os.path.join(data, name))
    if not os.path.exists(log):
        subprocess.run([os.path.join(build, "bench", "generate_action_log"), str(count), "small",
                        "ascending", "0", log], check=True)
    return log


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


NGINX_CONF = """
daemon off;
master_process off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  client_body_temp_path {work}/body;
  keepalive_requests 100000000;
  keepalive_timeout 300s;
  client_body_buffer_size 64k;
  server {{
    listen 127.0.0.1:{port};
{locations}
  }}
}}
"""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_port(port):
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"nothing listens on {port}")


def start_nginx(work, locations):
    """nginx serving `locations` (its location blocks) from the folder `work`: the process and
    its port. The caller stops it."""
    port = free_port()
    with open(os.path.join(work, "nginx.conf"), "w") as conf:
        conf.write(NGINX_CONF.format(work=work, port=port, locations=locations))
    process = subprocess.Popen(["nginx", "-p", work, "-c", os.path.join(work, "nginx.conf")],
                               stderr=subprocess.DEVNULL)
    wait_for_port(port)
    return process, port
