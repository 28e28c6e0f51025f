#!/usr/bin/env python3
"""Measures the built ZK4 tool against zk4-sim: start-up to the first connect burst, CPU and
memory while linked and polling, and CPU, tick spacing and memory under a saturated 115200-baud
stream (zk4-sim --flood). Standard library only; Linux /proc. Started by bench/measure.sh,
which builds, provides a display and cleans up after a crash of this script.

Time base: zk4-sim logs "<milliseconds.micro> H>D <escaped bytes>" per chunk it receives, from
the steady clock (CLOCK_MONOTONIC), and this script reads CLOCK_MONOTONIC too. Where the
simulator's start lies on that clock is found by writing one line feed to the pty at a known
time and seeing when the log shows it: the start lies between (write time - logged time) and
(time the log showed it - logged time). Every start-to-burst figure carries that uncertainty.
"""

import argparse
import json
import os
import re
import select
import signal
import statistics
import subprocess
import sys
import time

CLK_TCK = os.sysconf("SC_CLK_TCK")
READY_TIMEOUT_S = 10
LOCK_DIRS = ("/var/lock", "/run/lock", "/tmp", "/var/tmp")
IDENTIFY_TIMEOUT_S = 15


class Stop(Exception):
    """A signal asked us to end; the finally blocks clean up."""


def on_signal(signo, _frame):
    raise Stop(f"signal {signo}")


def now_ns():
    return time.monotonic_ns()


# --- /proc -----------------------------------------------------------------------------------


def cpu_seconds(pid):
    """utime + stime of the whole process (all threads), in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # fields[0] is the state, field 3 of stat; utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def status_kb(pid):
    """The kB figures of /proc/<pid>/status (VmRSS, VmHWM, RssAnon, RssFile, RssShmem, ...)."""
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            parts = value.split()
            if len(parts) == 2 and parts[1] == "kB":
                out[key] = int(parts[0])
    return out


def pss_kb(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def io_counters(pid):
    out = {}
    try:
        with open(f"/proc/{pid}/io") as f:
            for line in f:
                key, _, value = line.partition(":")
                out[key] = int(value)
    except OSError:
        pass
    return out


# --- the simulator's byte log ---------------------------------------------------------------

LOG_LINE = re.compile(r"^(\d+)\.(\d{3}) H>D (.*)$")
LOG_BYTE = re.compile(r"\\x([0-9A-Fa-f]{2})|\\(.)|(.)")
LOG_ESCAPES = {"\\": 0x5C, "r": 0x0D, "n": 0x0A, "t": 0x09}


def read_log(path):
    """[(microseconds, byte)] of what the host sent; a line still being written is left out."""
    entries = []
    try:
        with open(path, encoding="latin-1") as f:
            for line in f:
                m = LOG_LINE.match(line.rstrip("\n")) if line.endswith("\n") else None
                if not m:
                    continue
                us = int(m.group(1)) * 1000 + int(m.group(2))
                for hex_byte, escape, plain in LOG_BYTE.findall(m.group(3)):
                    if hex_byte:
                        entries.append((us, int(hex_byte, 16)))
                    else:
                        entries.append((us, LOG_ESCAPES[escape] if escape else ord(plain)))
    except FileNotFoundError:
        pass
    return entries


def commands(entries):
    """Lines the host sent: [(first byte us, last byte us, text)], each ended by a line feed."""
    out = []
    text = bytearray()
    first = None
    for us, byte in entries:
        if first is None:
            first = us
        text.append(byte)
        if byte == 0x0A:
            out.append((first, us, text.decode("latin-1")))
            text = bytearray()
            first = None
    return out


def wait_for(condition, timeout_s, step_s=0.001):
    deadline = time.monotonic() + timeout_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(step_s)


# --- processes ------------------------------------------------------------------------------


class Processes:
    """Every child started, ended by pid. The pid file lists the children not yet reaped, for
    measure.sh's trap in case this script is killed outright."""

    def __init__(self, pid_file):
        self.pid_file = pid_file
        self.children = []

    def _write_pid_file(self):
        with open(self.pid_file, "w") as f:
            f.writelines(f"{p.pid}\n" for p in self.children if p.returncode is None)

    def start(self, argv, **kwargs):
        p = subprocess.Popen(argv, **kwargs)
        self.children.append(p)
        self._write_pid_file()
        return p

    def stop(self, p, timeout_s=5):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout_s)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        self._write_pid_file()

    def stop_all(self):
        for p in reversed(self.children):
            self.stop(p)
            remove_stale_locks(p.pid)


def start_sim(procs, sim, work, log, extra):
    out = os.path.join(work, f"sim-{len(procs.children)}.out")
    argv = [sim, "--link-beside", os.path.join(work, "ZK4"), "--port", "COM1", "--log", log]
    p = procs.start(argv + extra, stdout=subprocess.PIPE, stderr=open(out, "w"), text=True)
    ready, _, _ = select.select([p.stdout], [], [], READY_TIMEOUT_S)
    line = p.stdout.readline() if ready else ""
    if not line.startswith("ready "):
        raise RuntimeError(f"zk4-sim did not start: {line!r}; see {out}")
    return p, line.split(" ", 1)[1].strip()


def remove_stale_locks(pid):
    """QSerialPort's lock files ("<pid>\\nZK4\\n...") left by a tool of ours that was ended with
    SIGTERM, which skips their removal. Only files naming that (ended) process are touched."""
    for folder in LOCK_DIRS:
        try:
            names = [n for n in os.listdir(folder) if n.startswith("LCK..")]
        except OSError:
            continue
        for name in names:
            path = os.path.join(folder, name)
            try:
                with open(path) as f:
                    owner = f.read(200).split()
                if owner[:2] == [str(pid), "ZK4"]:
                    os.unlink(path)
            except (OSError, UnicodeDecodeError):
                pass


def start_tool(procs, work):
    """Starts the tool with a fresh ZK4.ini (COM1); returns (process, monotonic ns at exec)."""
    with open(os.path.join(work, "ZK4.ini"), "wb") as f:
        f.write(b"COM=1;\r\n")
    stamp = os.path.join(work, "exec-ns")

    def mark_exec():  # runs in the child, right before exec
        fd = os.open(stamp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        os.write(fd, str(time.monotonic_ns()).encode())
        os.close(fd)

    log = open(os.path.join(work, "tool.out"), "a")
    p = procs.start([os.path.join(work, "ZK4")], stdout=log, stderr=log, preexec_fn=mark_exec,
                    cwd=work)
    with open(stamp) as f:
        return p, int(f.read())


def stop_tool(procs, p):
    procs.stop(p)
    remove_stale_locks(p.pid)


def calibrate(link, log, tries=5):
    """(lo, hi): the simulator's start on CLOCK_MONOTONIC, in ns; the tightest of `tries`."""
    best = None
    fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
    try:
        # While no host holds the pty the simulator looks at it only every 25 ms; once the
        # port is open it reads at once.
        time.sleep(0.1)
        for _ in range(tries):
            before = len(read_log(log))
            written = now_ns()
            os.write(fd, b"\n")  # an empty line: the device ignores it
            entries = wait_for(lambda: (e := read_log(log)) and len(e) > before and e, 5, 0.0001)
            seen = now_ns()
            if not entries:
                raise RuntimeError("the calibration byte did not reach the simulator's log")
            us = entries[before][0]
            if best is None or seen - written < best[1] - best[0]:
                best = (written - us * 1000, seen - us * 1000)
            time.sleep(0.02)
    finally:
        os.close(fd)
    time.sleep(0.1)  # the simulator notices the closed pty and goes back to idling
    return best


# --- measurements -----------------------------------------------------------------------------


def window_shown():
    """True once the tool's main window ("ZK4 (...") is mapped on the display."""
    out = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    return any('"ZK4 (' in line and "x" in line for line in out.splitlines())


def measure_start(procs, args, work):
    """Runs the tool `starts` times: exec to its window on the display (xwininfo polled about
    every 10 ms, so a few ms late) and exec to its first byte on the wire."""
    log = os.path.join(work, "start.log")
    sim, _ = start_sim(procs, args.sim, work, log, ["--product", "J1939-003"])
    link = os.path.join(work, "ports", "COM1")
    lo, hi = calibrate(link, log)
    runs = []
    try:
        for _ in range(args.starts):
            before = len(read_log(log))
            tool, exec_ns = start_tool(procs, work)
            shown = wait_for(lambda: window_shown() and now_ns(), 10, 0.01)
            entries = wait_for(lambda: (e := read_log(log)) and len(e) > before and e, 10, 0.002)
            if not entries:
                stop_tool(procs, tool)
                raise RuntimeError("the tool sent nothing within 10 s")
            first_us = entries[before][0]
            runs.append({"window_ms": (shown - exec_ns) / 1e6 if shown else None,
                         "lo_ms": (lo + first_us * 1000 - exec_ns) / 1e6,
                         "hi_ms": (hi + first_us * 1000 - exec_ns) / 1e6})
            time.sleep(0.3)  # let the connect burst finish before the tool goes
            stop_tool(procs, tool)
            time.sleep(0.3)
    finally:
        procs.stop(sim)
    mids = [(r["lo_ms"] + r["hi_ms"]) / 2 for r in runs]
    windows = [r["window_ms"] for r in runs if r["window_ms"] is not None]
    return {"calibration_uncertainty_us": (hi - lo) / 1e3, "runs": runs,
            "min_ms": min(mids), "median_ms": statistics.median(mids), "max_ms": max(mids),
            "window_median_ms": statistics.median(windows) if windows else None}


def identified_at(cmds):
    """Sim time (us) of the first poll of an identified device: an "AT RALL" a tick after the
    previous "AT RALL" with no connect burst between (a searching tool sends "AT FW=?" first)."""
    for prev, cur in zip(cmds, cmds[1:]):
        if prev[2] == cur[2] == "AT RALL\r\n" and cur[0] - prev[1] > 500_000:
            return cur[0]
    return None


def measure_linked(procs, args, work):
    log = os.path.join(work, "linked.log")
    sim, _ = start_sim(procs, args.sim, work, log,
                           ["--product", "J1939-003", "--serial", "305419896", "--drive"])
    tool = None
    try:
        tool, _ = start_tool(procs, work)
        if not wait_for(lambda: identified_at(commands(read_log(log))), IDENTIFY_TIMEOUT_S, 0.05):
            raise RuntimeError("the tool did not identify the simulated device")
        time.sleep(0.5)
        window_from = read_log(log)[-1][0]
        cpu0, t0 = cpu_seconds(tool.pid), now_ns()
        time.sleep(args.seconds)
        cpu1, t1 = cpu_seconds(tool.pid), now_ns()
        mem = status_kb(tool.pid)
        pss = pss_kb(tool.pid)
        alive = tool.poll() is None
    finally:
        if tool:
            stop_tool(procs, tool)
        procs.stop(sim)
    cmds = [c for c in commands(read_log(log)) if c[0] > window_from]
    polls = [c for c in cmds if c[2] == "AT RALL\r\n"]
    spans = [(c[1] - c[0]) / 1000 for c in polls]
    wall = (t1 - t0) / 1e9
    return {
        "seconds": wall, "cpu_s": cpu1 - cpu0, "cpu_percent": 100 * (cpu1 - cpu0) / wall,
        "alive": alive, "polls": len(polls),
        "reconnects": sum(1 for c in cmds if c[2] == "AT FW=?\r\n"),
        "other_commands": sum(1 for c in cmds if c[2] not in ("AT RALL\r\n", "AT FW=?\r\n")),
        "poll_span_ms_mean": statistics.mean(spans) if spans else None,
        "vmrss_kb": mem.get("VmRSS"), "vmhwm_kb": mem.get("VmHWM"),
        "rss_anon_kb": mem.get("RssAnon"), "rss_file_kb": mem.get("RssFile"),
        "rss_shmem_kb": mem.get("RssShmem"), "pss_kb": pss,
    }


def measure_searching(procs, args, work, name, sim_options):
    """A tool that cannot identify the device: it re-opens the port and sends the three
    commands every tick. With --flood it receives a saturated stream all the while; with
    --silent-after 0 it receives nothing, which tells the stream's share of the cost."""
    log = os.path.join(work, f"{name}.log")
    sim, _ = start_sim(procs, args.sim, work, log, sim_options)
    tool = None
    samples = []
    try:
        tool, _ = start_tool(procs, work)
        if not wait_for(lambda: read_log(log), 10, 0.01):
            raise RuntimeError("the tool sent nothing within 10 s")
        time.sleep(1.0)
        window_from = read_log(log)[-1][0]
        cpu0, sim0, io0, t0 = cpu_seconds(tool.pid), cpu_seconds(sim.pid), io_counters(
            tool.pid), now_ns()
        deadline = t0 + int(args.seconds * 1e9)
        while True:
            samples.append(((now_ns() - t0) / 1e9, status_kb(tool.pid).get("VmRSS")))
            left = deadline - now_ns()
            if left <= 0:
                break
            time.sleep(min(5.0, left / 1e9))
        cpu1, sim1, io1, t1 = cpu_seconds(tool.pid), cpu_seconds(sim.pid), io_counters(
            tool.pid), now_ns()
        mem = status_kb(tool.pid)
        alive = tool.poll() is None
    finally:
        if tool:
            stop_tool(procs, tool)
        procs.stop(sim)
    wall = (t1 - t0) / 1e9
    cmds = [c for c in commands(read_log(log)) if c[0] > window_from]
    connects = [c[0] for c in cmds if c[2] == "AT FW=?\r\n"]
    gaps = [(b - a) / 1000 for a, b in zip(connects, connects[1:])]
    rss = [kb for _, kb in samples]
    return {
        "seconds": wall, "cpu_s": cpu1 - cpu0, "cpu_percent": 100 * (cpu1 - cpu0) / wall,
        "sim_cpu_percent": 100 * (sim1 - sim0) / wall, "alive": alive,
        "read_bytes_per_s": (io1.get("rchar", 0) - io0.get("rchar", 0)) / wall,
        "read_calls_per_s": (io1.get("syscr", 0) - io0.get("syscr", 0)) / wall,
        "connects": len(connects),
        "id_queries": sum(1 for c in cmds if c[2] == "AT ID?\r\n"),
        "polls": sum(1 for c in cmds if c[2] == "AT RALL\r\n"),
        "tick_ms_min": min(gaps) if gaps else None, "tick_ms_max": max(gaps) if gaps else None,
        "tick_ms_mean": statistics.mean(gaps) if gaps else None,
        "tick_ms_p95": sorted(gaps)[int(0.95 * (len(gaps) - 1))] if gaps else None,
        "tick_ms": gaps,
        "rss_samples": samples, "rss_first_kb": rss[0], "rss_last_kb": rss[-1],
        "rss_max_kb": max(rss), "vmhwm_kb": mem.get("VmHWM"),
    }


def run_benchmark(args, work):
    out = os.path.join(work, "identification.json")
    subprocess.run([args.bench, "--benchmark_repetitions=5",
                    "--benchmark_report_aggregates_only=true", f"--benchmark_out={out}",
                    "--benchmark_out_format=json"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    with open(out) as f:
        data = json.load(f)
    rows = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") in ("median", "stddev"):
            name = b["run_name"].split("/", 1)[1]
            rows.setdefault(name, {})[b["aggregate_name"]] = {
                "real_us": b["real_time"], "cpu_us": b["cpu_time"]}
    return rows


# --- report -----------------------------------------------------------------------------------


def verdict(value, target):
    return "met" if value is not None and value < target else "MISSED"


def summary(r):
    lines = [f"Machine: {r['machine']}", f"Date: {r['date']}",
             f"Load average before/after: {r['load_before']} / {r['load_after']}", ""]
    s = r.get("start")
    if s:
        lines.append(f"Start to first connect byte ({len(s['runs'])} starts): median "
                     f"{s['median_ms']:.0f} ms, min {s['min_ms']:.0f}, max {s['max_ms']:.0f} "
                     f"(time-base uncertainty {s['calibration_uncertainty_us']:.0f} us); window "
                     f"shown after {s['window_median_ms']:.0f} ms (median)")
    li = r.get("linked")
    if li:
        lines += [
            f"Linked, {li['seconds']:.1f} s: CPU {li['cpu_s'] * 1000:.0f} ms = "
            f"{li['cpu_percent']:.2f} % of a core (target < 0.5 %: "
            f"{verdict(li['cpu_percent'], 0.5)}); {li['polls']} polls, {li['reconnects']} "
            f"reconnects; mean span of one 9-byte poll on the wire "
            f"{li['poll_span_ms_mean']:.1f} ms",
            f"Linked memory: VmRSS {li['vmrss_kb'] / 1024:.1f} MiB, VmHWM "
            f"{li['vmhwm_kb'] / 1024:.1f} MiB (target < 60 MB: "
            f"{verdict(li['vmhwm_kb'] * 1024 / 1e6, 60)}); RssAnon {li['rss_anon_kb'] / 1024:.1f}"
            f", RssFile {li['rss_file_kb'] / 1024:.1f}, RssShmem {li['rss_shmem_kb'] / 1024:.1f}"
            f", Pss {li['pss_kb'] / 1024:.1f} MiB"]
    b = r.get("bench")
    if b:
        for name, agg in b.items():
            lines.append(f"Identification line to controls enabled, {name}: median "
                         f"{agg['median']['real_us']:.1f} us real, {agg['median']['cpu_us']:.1f}"
                         f" us CPU")
    q = r.get("quiet")
    if q:
        lines.append(f"Searching, silent device, {q['seconds']:.1f} s: CPU "
                     f"{q['cpu_s'] * 1000:.0f} ms = {q['cpu_percent']:.2f} % of a core; "
                     f"{q['connects']} connects, interval "
                     f"min {q['tick_ms_min']:.0f} ms, max {q['tick_ms_max']:.0f} ms, mean "
                     f"{q['tick_ms_mean']:.0f} ms, 95th percentile {q['tick_ms_p95']:.0f} ms")
    fl = r.get("flood")
    if fl:
        lines += [
            f"Flood, {fl['seconds']:.1f} s: CPU {fl['cpu_s'] * 1000:.0f} ms = "
            f"{fl['cpu_percent']:.2f} % of a core (target < 10 %: "
            f"{verdict(fl['cpu_percent'], 10)}); simulator {fl['sim_cpu_percent']:.2f} %; "
            f"tool read {fl['read_bytes_per_s']:.0f} bytes/s in {fl['read_calls_per_s']:.0f} "
            f"read calls/s",
            f"Flood ticks: {fl['connects']} connects ({fl['id_queries']} ID?, {fl['polls']} RALL)"
            f", interval min {fl['tick_ms_min']:.0f} ms, max {fl['tick_ms_max']:.0f} ms, mean "
            f"{fl['tick_ms_mean']:.0f} ms, 95th percentile {fl['tick_ms_p95']:.0f} ms",
            f"Flood VmRSS: first {fl['rss_first_kb'] / 1024:.1f} MiB, last "
            f"{fl['rss_last_kb'] / 1024:.1f}, max {fl['rss_max_kb'] / 1024:.1f} "
            f"({len(fl['rss_samples'])} samples, every 5 s)"]
    return "\n".join(lines)


def machine():
    model, cores = "?", "?"
    out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
    for line in out.splitlines():
        key, _, value = line.partition(":")
        if key == "Model name":
            model = value.strip()
        elif key == "CPU(s)":
            cores = value.strip()
    return f"{model}, {cores} CPUs, kernel {os.uname().release}"


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="the ZK4 executable to copy and run")
    parser.add_argument("--sim", required=True, help="the zk4-sim executable")
    parser.add_argument("--bench", help="zk4-bench-identification (left out if not given)")
    parser.add_argument("--work", required=True, help="an empty folder for the copy and logs")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--json", help="write all figures to this file")
    parser.add_argument("--phases", default="start,linked,bench,quiet,flood",
                        help="which measurements to run, comma-separated")
    args = parser.parse_args()
    for signo in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signo, on_signal)

    exe = os.path.join(args.work, "ZK4")
    subprocess.run(["cp", args.tool, exe], check=True)
    procs = Processes(os.path.join(args.work, "pids"))
    result = {"machine": machine(), "date": time.strftime("%Y-%m-%d %H:%M:%S %Z"),
              "load_before": load(), "seconds": args.seconds}
    try:
        phases = args.phases.split(",")
        if "start" in phases:
            result["start"] = measure_start(procs, args, args.work)
        if "linked" in phases:
            result["linked"] = measure_linked(procs, args, args.work)
        if "bench" in phases and args.bench:
            result["bench"] = run_benchmark(args, args.work)
        if "quiet" in phases:
            result["quiet"] = measure_searching(procs, args, args.work, "quiet",
                                                ["--silent-after", "0"])
        if "flood" in phases:
            result["flood"] = measure_searching(procs, args, args.work, "flood", ["--flood"])
    except Stop as e:
        print(f"measure: stopped by {e}", file=sys.stderr)
        return 1
    finally:
        procs.stop_all()
    result["load_after"] = load()
    if args.json:
        with open(args.json, "w") as f:
            json.dump(result, f, indent=1)
    print(summary(result))
    return 0


if __name__ == "__main__":
    sys.exit(main())
