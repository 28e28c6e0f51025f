#!/usr/bin/env python3
"""How soon zk4ctl info has a device's values, against how soon the window identifies it.

Runs `zk4ctl info` many times against one zk4-sim (a J1939-003 on a pseudo-terminal) and takes,
for each run, the time from the start of the process to its first byte on standard output and
to its exit; a few more runs with --trace give the time to the first "ACK ID" the tool received.
Then starts the window (ZK4 --trace, under an Xvfb of its own) a few times and takes the time
from its start to the first "ACK ID" in its trace. Prints the figures as Markdown with the
machine and its load.

Both programs run from a fresh folder of hard links (their own ZK4.ini and ports/), zk4ctl with
no display in its environment. Times are CLOCK_MONOTONIC, which the traces use too. Every
process is started and ended here by its pid; nothing is left behind.

Usage: bench/cli_latency.py --build BUILD [--runs 50] [--traced-runs 10] [--window-runs 5]
"""

import argparse
import os
import platform
import re
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TRACE_LINE = re.compile(r"^(\d+\.\d{3}) D>H (.*)$")


def now_ms():
    return time.monotonic_ns() / 1e6


def unescape(text):
    """The trace's escaped bytes back as text (only what "ACK ID" needs to be found)."""
    return re.sub(r"\\x[0-9A-Fa-f]{2}|\\[rnt\\]", "?", text)


def first_ack_id_ms(trace_path):
    """The trace time of the read that completed the first "ACK ID", or None."""
    try:
        with open(trace_path, encoding="ascii", errors="replace") as trace:
            lines = trace.read().splitlines()
    except FileNotFoundError:
        return None
    received = ""
    for line in lines:
        match = TRACE_LINE.match(line)
        if match:
            received += unescape(match.group(2))
            if "ACK ID" in received:
                return float(match.group(1))
    return None


def wait_until(condition, timeout_s):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        result = condition()
        if result is not None:
            return result
        time.sleep(0.005)
    return None


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def summary(values):
    ordered = sorted(values)
    p90 = ordered[min(len(ordered) - 1, int(0.9 * len(ordered)))]
    return (f"{statistics.median(ordered):.1f} | {p90:.1f} | {ordered[-1]:.1f} | "
            f"{ordered[0]:.1f} | {len(ordered)}")


def run_cli(work, env, traced, index):
    args = [os.path.join(work, "zk4ctl"), "info"]
    trace = os.path.join(work, f"cli-{index}.trace")
    if traced:
        args += ["--trace", trace]
    start = now_ms()
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    select.select([process.stdout], [], [], 10)
    first_output = now_ms()
    out, err = process.communicate(timeout=10)
    exited = now_ms()
    if process.returncode != 0 or b"product_id: ZK4-J1939-003" not in out:
        sys.exit(f"zk4ctl info failed ({process.returncode}): {out!r} {err!r}")
    ack = first_ack_id_ms(trace) - start if traced else None
    return first_output - start, exited - start, ack


def run_window(work, env, index):
    trace = os.path.join(work, f"window-{index}.trace")
    start = now_ms()
    process = subprocess.Popen([os.path.join(work, "ZK4"), "--trace", trace], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # The trace reaches the file at least once a second.
        ack = wait_until(lambda: first_ack_id_ms(trace), 15)
    finally:
        stop(process)
    if ack is None:
        sys.exit("the window did not identify the device")
    return ack - start


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as display:
        number = display.readline().strip()
    if not number:
        stop(xvfb)
        sys.exit("Xvfb did not start")
    return xvfb, ":" + number


def machine():
    model = ""
    with open("/proc/cpuinfo", encoding="ascii", errors="replace") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} CPUs, kernel {platform.release()}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build folder with zk4ctl, ZK4, zk4-sim")
    parser.add_argument("--runs", type=int, default=50)
    parser.add_argument("--traced-runs", type=int, default=10)
    parser.add_argument("--window-runs", type=int, default=5)
    options = parser.parse_args()

    work = tempfile.mkdtemp(prefix="zk4-cli-latency.")
    processes = []
    try:
        for program in ("zk4ctl", "ZK4"):
            source = os.path.join(options.build, program)
            try:
                os.link(source, os.path.join(work, program))
            except OSError:
                shutil.copy2(source, os.path.join(work, program))
        sim = subprocess.Popen([os.path.join(options.build, "zk4-sim"), "--link-beside",
                                os.path.join(work, "ZK4"), "--port", "COM1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        processes.append(sim)
        if not sim.stdout.readline().startswith(b"ready "):
            sys.exit("zk4-sim did not become ready")

        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["QT_QPA_PLATFORM"] = ""
        env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
        load_before = os.getloadavg()
        plain = [run_cli(work, env, False, i) for i in range(options.runs)]
        traced = [run_cli(work, env, True, i) for i in range(options.traced_runs)]

        xvfb, display = start_xvfb()
        processes.append(xvfb)
        window_env = dict(env, DISPLAY=display)
        window_env.pop("QT_QPA_PLATFORM")
        window = [run_window(work, window_env, i) for i in range(options.window_runs)]
        load_after = os.getloadavg()

        print(f"Machine: {machine()}")
        print("Load average (1, 5, 15 min) before: %.2f %.2f %.2f, after: %.2f %.2f %.2f"
              % (load_before + load_after))
        print()
        print("| From the program's start to | median ms | 90th pct ms | worst ms | best ms | runs |")
        print("|---|---:|---:|---:|---:|---:|")
        print(f"| zk4ctl info: first byte of output | {summary([p[0] for p in plain])} |")
        print(f"| zk4ctl info: exit | {summary([p[1] for p in plain])} |")
        if traced:
            print(f"| zk4ctl info --trace: first \"ACK ID\" received | "
                  f"{summary([p[2] for p in traced])} |")
            print(f"| zk4ctl info --trace: exit | {summary([p[1] for p in traced])} |")
        print(f"| ZK4 window --trace: first \"ACK ID\" received | {summary(window)} |")
    finally:
        for process in reversed(processes):
            stop(process)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
