#!/usr/bin/env python3
"""Measures the built ZK4 tool against zk4-sim: start-up to the first connect burst, CPU and
memory while linked and polling, while searching a silent device, while a device streams report
lines at 115200 baud (zk4-sim --stream, with CuteCom following the same stream on a second
simulator as the peer, measured in the same window) and under a saturated stream of random
bytes (zk4-sim --flood); CPU of the linked tool with its chart window closed, open (Ctrl+T,
pressed with xdotool) and closed again; and the pacing of every command on the wire. Standard library only;
Linux /proc; CuteCom is driven with xdotool. Started by bench/measure.sh, which builds, installs
what is missing, provides a display and cleans up after a crash of this script.

Time base: zk4-sim logs what it receives with times on the steady clock (CLOCK_MONOTONIC; in
the older per-byte form counted from its own start), and this script reads CLOCK_MONOTONIC too.
Where the log's zero lies on that clock is found by writing one line feed to the pty at a known
time and seeing when the log shows it: it lies between (write time - logged time) and (time
the log showed it - logged time). Every start-to-burst figure carries that uncertainty.
"""

import argparse
import contextlib
import json
import os
import re
import select
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import wiretrace  # noqa: E402  (the wire trace's one reader)

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
#
# Two forms, told apart line by line; everything else here sees only read_log()'s entries:
#   "<us since the simulator's start> <HH>"            one line per received byte
#   "<ms>.<us> H>D <escaped bytes>"                     one line per read chunk (also D>H and --
#                                                       lines, which are skipped); ms on the
#                                                       steady clock, bytes as printable ASCII,
#                                                       \\ \r \n \t or \xHH

LOG_BYTE_LINE = re.compile(r"^(\d+) ([0-9A-F]{2})$")


def read_log(path):
    """[(microseconds, byte)] of what the host sent; bytes read together share a time; a line
    the simulator is still writing is left out."""
    entries = []
    try:
        with open(path, encoding="latin-1") as f:
            for line in f:
                if not line.endswith("\n"):
                    break
                line = line[:-1]
                m = LOG_BYTE_LINE.match(line)
                if m:
                    entries.append((int(m.group(1)), int(m.group(2), 16)))
                    continue
                chunk = wiretrace.parse(line)
                if chunk and chunk[1] == "H>D":
                    us = round(chunk[0] * 1000)
                    entries.extend((us, byte) for byte in chunk[2])
    except FileNotFoundError:
        pass
    return entries


def commands(entries):
    """Lines the host sent: [(first byte us, last byte us, text, [us of every byte])], each
    ended by a line feed."""
    out = []
    text = bytearray()
    times = []
    for us, byte in entries:
        text.append(byte)
        times.append(us)
        if byte == 0x0A:
            out.append((times[0], us, text.decode("latin-1"), times))
            text = bytearray()
            times = []
    return out


def wire_timing(cmds):
    """Pacing as the simulator saw it: the gaps between two bytes of one command and the span,
    first to last byte, of each 9-byte poll ("AT RALL" CR LF)."""
    gaps = [(b - a) / 1000 for c in cmds for a, b in zip(c[3], c[3][1:])]
    spans = [(c[1] - c[0]) / 1000 for c in cmds if c[2] == "AT RALL\r\n"]
    return {
        "commands": len(cmds), "gaps": len(gaps),
        "gap_ms_min": min(gaps) if gaps else None, "gap_ms_max": max(gaps) if gaps else None,
        "gap_ms_median": statistics.median(gaps) if gaps else None,
        "gaps_below_1ms": sum(1 for g in gaps if g < 1),
        "gaps_read_together": sum(1 for g in gaps if g == 0),
        "gaps_above_3ms": sum(1 for g in gaps if g > 3),
        "polls": len(spans), "poll_span_ms_min": min(spans) if spans else None,
        "poll_span_ms_mean": statistics.mean(spans) if spans else None,
        "poll_span_ms_median": statistics.median(spans) if spans else None,
        "poll_span_ms_max": max(spans) if spans else None,
        "polls_outside_14_20ms": sum(1 for x in spans if not 14 <= x <= 20),
    }


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
    """Starts zk4-sim, linked as ports/COM1 beside the tool's copy and logging to `log`, or
    with log None neither (for the peer); returns (process, slave path)."""
    out = os.path.join(work, f"sim-{len(procs.children)}.out")
    argv = [sim]
    if log:
        argv += ["--link-beside", os.path.join(work, "ZK4"), "--port", "COM1", "--log", log]
    p = procs.start(argv + extra, stdout=subprocess.PIPE, stderr=open(out, "w"), text=True)
    ready, _, _ = select.select([p.stdout], [], [], READY_TIMEOUT_S)
    line = p.stdout.readline() if ready else ""
    if not line.startswith("ready "):
        raise RuntimeError(f"zk4-sim did not start: {line!r}; see {out}")
    return p, line.split(" ", 1)[1].strip()


def remove_stale_locks(pid):
    """QSerialPort's lock files ("<pid>\\n<application>\\n...") left by a tool or CuteCom of ours
    that was ended with SIGTERM, which skips their removal. Only files naming that (ended)
    process are touched."""
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
                if owner[:1] == [str(pid)] and owner[1:2] in (["ZK4"], ["cutecom"]):
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


@contextlib.contextmanager
def tool_on_sim(procs, args, work, log, sim_options):
    """zk4-sim with `sim_options`, logging to `log`, and the tool on it; yields (sim, tool) and
    stops both at the end, the tool first."""
    sim, _ = start_sim(procs, args.sim, work, log, sim_options)
    tool = None
    try:
        tool, _ = start_tool(procs, work)
        yield sim, tool
    finally:
        if tool:
            stop_tool(procs, tool)
        procs.stop(sim)


def commands_after(log, window_from):
    return [c for c in commands(read_log(log)) if c[0] > window_from]


def measure_linked(procs, args, work):
    log = os.path.join(work, "linked.log")
    with tool_on_sim(procs, args, work, log,
                     ["--product", "J1939-003", "--serial", "305419896", "--drive"]) as (_, tool):
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
    cmds = commands_after(log, window_from)
    polls = [c for c in cmds if c[2] == "AT RALL\r\n"]
    spans = [(c[1] - c[0]) / 1000 for c in polls]
    wall = (t1 - t0) / 1e9
    return {
        "seconds": wall, "cpu_s": cpu1 - cpu0, "cpu_percent": 100 * (cpu1 - cpu0) / wall,
        "alive": alive, "polls": len(polls),
        "reconnects": sum(1 for c in cmds if c[2] == "AT FW=?\r\n"),
        "other_commands": sum(1 for c in cmds if c[2] not in ("AT RALL\r\n", "AT FW=?\r\n")),
        "poll_span_ms_mean": statistics.mean(spans) if spans else None,
        "wire": wire_timing(cmds),
        "vmrss_kb": mem.get("VmRSS"), "vmhwm_kb": mem.get("VmHWM"),
        "rss_anon_kb": mem.get("RssAnon"), "rss_file_kb": mem.get("RssFile"),
        "rss_shmem_kb": mem.get("RssShmem"), "pss_kb": pss,
    }


def measure_searching(procs, args, work, name, sim_options):
    """A tool that cannot identify the device: it re-opens the port and sends the three
    commands every tick. With --flood it receives a saturated stream all the while; with
    --silent-after 0 it receives nothing, which tells the stream's share of the cost."""
    log = os.path.join(work, f"{name}.log")
    samples = []
    with tool_on_sim(procs, args, work, log, sim_options) as (sim, tool):
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
    wall = (t1 - t0) / 1e9
    cmds = commands_after(log, window_from)
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
        "tick_ms": gaps, "wire": wire_timing(cmds),
        "rss_samples": samples, "rss_first_kb": rss[0], "rss_last_kb": rss[-1],
        "rss_max_kb": max(rss), "vmhwm_kb": mem.get("VmHWM"),
    }


# --- the peer: CuteCom following the same stream ----------------------------------------------

CUTECOM_SESSION = "zk4-measure"


def cutecom_env(work):
    """A private home, configuration and runtime folder, so the user's own CuteCom settings are
    never read or written."""
    base = os.path.join(work, "cutecom")
    env = dict(os.environ, HOME=os.path.join(base, "home"),
               XDG_CONFIG_HOME=os.path.join(base, "config"),
               XDG_RUNTIME_DIR=os.path.join(base, "runtime"))
    for key in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"):
        os.makedirs(env[key], mode=0o700, exist_ok=True)
    return env


def write_cutecom_session(env, device):
    """One session in the form CuteCom 0.51 itself writes to CuteCom5.conf (seen by running it
    with a new session name): its defaults, with the device and 115200 8N1."""
    folder = os.path.join(env["XDG_CONFIG_HOME"], "CuteCom")
    os.makedirs(folder, exist_ok=True)
    settings = {"BaudRate": "115200", "DataBits": "8", "Device": device, "FlowControl": "0",
                "History": "@Invalid()", "MacroFile": "", "OpenMode": "3", "Parity": "0",
                "StopBits": "1", "TcpLocalPort": "27353", "UdpLocalPort": "28416",
                "UdpRemoteHost": "", "UdpRemotePort": "26751", "autoReconnect": "true",
                "name": CUTECOM_SESSION, "showCtrlCharacters": "false", "showTimestamp": "false"}
    with open(os.path.join(folder, "CuteCom5.conf"), "w") as f:
        f.write(f"[CuteCom]\nsession={CUTECOM_SESSION}\n\n[sessions]\n")
        f.writelines(f"1\\{key}={value}\n" for key, value in sorted(settings.items()))
        f.write("size=1\n")


def holds(pid, path):
    """True when the process has `path` open."""
    try:
        fds = os.listdir(f"/proc/{pid}/fd")
    except OSError:
        return False
    for fd in fds:
        try:
            if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                return True
        except OSError:
            pass
    return False


def start_cutecom(procs, work, device, preload):
    """Starts CuteCom on the session for `device` and presses its Open button (Alt+O: the
    session names the device, but CuteCom opens it only when asked). Returns the process once
    it holds the device and reads from it. `preload` (PtyModemLines.c built) lets it keep a
    pty open at all."""
    env = cutecom_env(work)
    if preload:
        env["LD_PRELOAD"] = preload
    write_cutecom_session(env, device)
    out = open(os.path.join(work, "cutecom.out"), "w")
    p = procs.start(["cutecom", "-s", CUTECOM_SESSION], stdout=out, stderr=out, env=env,
                    cwd=env["HOME"])

    def window():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(p.pid),
                                "--name", "CuteCom"], capture_output=True, text=True, timeout=5)
        return found.stdout.split()[0] if found.stdout.split() else None

    wid = wait_for(window, READY_TIMEOUT_S, 0.1)
    if not wid:
        raise RuntimeError("CuteCom showed no window; see cutecom.out")
    # Top left, beside the tool's window (centred, about 620 pixels wide), not over it.
    subprocess.run(["xdotool", "windowmove", "--sync", wid, "0", "0"], timeout=5, check=False)
    for _ in range(5):  # a key pressed before the window takes input is lost: ask again
        subprocess.run(["xdotool", "windowfocus", "--sync", wid], timeout=5, check=False)
        subprocess.run(["xdotool", "key", "alt+o"], timeout=5, check=False)
        if wait_for(lambda: holds(p.pid, device), 2, 0.05):
            break
    else:
        raise RuntimeError(f"CuteCom did not open {device}; see cutecom.out")
    before = io_counters(p.pid).get("rchar", 0)
    if not wait_for(lambda: io_counters(p.pid).get("rchar", 0) - before > 11520 // 2, 3, 0.1):
        raise RuntimeError(f"CuteCom opened {device} but reads nothing; see cutecom.out")
    return p


def stop_peer(procs, p):
    procs.stop(p)
    remove_stale_locks(p.pid)


def x_server_pid():
    """The Xvfb serving $DISPLAY, if that is where we run; its CPU is the drawing both clients
    asked for."""
    display = os.environ.get("DISPLAY", "")
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except OSError:
            continue
        if argv and os.path.basename(argv[0]) == b"Xvfb" and display.encode() in argv:
            return int(pid)
    return None


class Usage:
    """CPU, read counters and VmRSS samples of a few processes over one window."""

    def __init__(self, pids):
        self.pids = {name: pid for name, pid in pids.items() if pid}
        self.t0 = now_ns()
        self.cpu0 = {n: cpu_seconds(p) for n, p in self.pids.items()}
        self.io0 = {n: io_counters(p) for n, p in self.pids.items()}
        self.rss = {n: [] for n in self.pids}

    def sample_rss(self):
        for name, pid in self.pids.items():
            self.rss[name].append(status_kb(pid).get("VmRSS"))

    def run(self, seconds, every_s=5.0):
        deadline = self.t0 + int(seconds * 1e9)
        while True:
            self.sample_rss()
            left = deadline - now_ns()
            if left <= 0:
                break
            time.sleep(min(every_s, left / 1e9))
        wall = (now_ns() - self.t0) / 1e9
        out = {"seconds": wall}
        for name, pid in self.pids.items():
            cpu = cpu_seconds(pid) - self.cpu0[name]
            io1 = io_counters(pid)
            mem = status_kb(pid)
            rss = self.rss[name]
            out[name] = {
                "cpu_s": cpu, "cpu_percent": 100 * cpu / wall,
                "read_bytes_per_s": (io1.get("rchar", 0) - self.io0[name].get("rchar", 0)) / wall,
                "read_calls_per_s": (io1.get("syscr", 0) - self.io0[name].get("syscr", 0)) / wall,
                "rss_first_kb": rss[0], "rss_last_kb": rss[-1], "rss_max_kb": max(rss),
                "vmhwm_kb": mem.get("VmHWM"), "rss_samples": rss}
        return out


def measure_stream(procs, args, work):
    """Report lines back to back at 115200 baud (zk4-sim --stream): the tool, linked to one
    simulator, and CuteCom, opened on another that streams the same lines, measured over the
    same window. The tool's simulator also answers its polls, between two lines."""
    log = os.path.join(work, "stream.log")
    device = ["--stream", "--product", "J1939-003", "--drive"]
    with tool_on_sim(procs, args, work, log, device) as (sim, tool):
        peer_sim, peer_device = start_sim(procs, args.sim, work, None, device)
        peer = None
        try:
            if not wait_for(lambda: identified_at(commands(read_log(log))), IDENTIFY_TIMEOUT_S,
                            0.05):
                raise RuntimeError("the tool did not identify the streaming device")
            if args.peer:
                peer = start_cutecom(procs, work, peer_device, args.peer_preload)
            time.sleep(1.0)
            window_from = read_log(log)[-1][0]
            usage = Usage({"tool": tool.pid, "cutecom": peer.pid if peer else None,
                           "sim": sim.pid, "x_server": x_server_pid()})
            result = usage.run(args.seconds)
            result["alive"] = tool.poll() is None and (peer is None or peer.poll() is None)
        finally:
            if peer:
                stop_peer(procs, peer)
            procs.stop(peer_sim)
    cmds = commands_after(log, window_from)
    result["polls"] = sum(1 for c in cmds if c[2] == "AT RALL\r\n")
    result["reconnects"] = sum(1 for c in cmds if c[2] == "AT FW=?\r\n")
    result["wire"] = wire_timing(cmds)
    if peer:
        result["ratio"] = result["tool"]["cpu_percent"] / max(result["cutecom"]["cpu_percent"],
                                                                1e-9)
    return result


def find_window(name, pid=None):
    """The id of a visible window whose title contains `name` (of process `pid`), or None."""
    # --all: both conditions (xdotool takes any one of them by default).
    argv = ["xdotool", "search", "--all", "--onlyvisible"] + (["--pid", str(pid)] if pid else [])
    found = subprocess.run(argv + ["--name", name], capture_output=True, text=True, timeout=5)
    return found.stdout.split()[0] if found.stdout.split() else None


def press(pid, window_name, key):
    """Presses `key` in the tool's window named `window_name`, as a user would."""
    wid = wait_for(lambda: find_window(window_name, pid), READY_TIMEOUT_S, 0.1)
    if not wid:
        raise RuntimeError(f"no window {window_name!r} to press {key} in")
    subprocess.run(["xdotool", "windowfocus", "--sync", wid], timeout=5, check=False)
    subprocess.run(["xdotool", "key", key], timeout=5, check=False)


def measure_chart(procs, args, work):
    """The linked tool with a device whose values all move (zk4-sim --drive --crank), measured
    over the same length of time three times: its chart window closed, open (Ctrl+T in the main
    window) and closed again (Escape in the chart). The X server's CPU is the drawing the tool
    asked for."""
    log = os.path.join(work, "chart.log")
    device = ["--product", "J1939-003", "--serial", "305419896", "--drive", "--crank"]
    result = {}
    with tool_on_sim(procs, args, work, log, device) as (_, tool):
        if not wait_for(lambda: identified_at(commands(read_log(log))), IDENTIFY_TIMEOUT_S, 0.05):
            raise RuntimeError("the tool did not identify the simulated device")
        pids = {"tool": tool.pid, "x_server": x_server_pid()}
        for phase, key, window, shown in (("closed", None, None, False),
                                          ("open", "ctrl+t", "Toolset", True),
                                          ("closed_again", "Escape", "ZK4 Chart", False)):
            if key:
                press(tool.pid, window, key)
                if not wait_for(lambda: bool(find_window("ZK4 Chart", tool.pid)) == shown, 10, 0.1):
                    raise RuntimeError(f"the chart window did not {'open' if shown else 'close'}")
            time.sleep(1.0)
            window_from = read_log(log)[-1][0]
            result[phase] = Usage(pids).run(args.seconds)
            cmds = commands_after(log, window_from)
            result[phase]["polls"] = sum(1 for c in cmds if c[2] == "AT RALL\r\n")
            result[phase]["reconnects"] = sum(1 for c in cmds if c[2] == "AT FW=?\r\n")
        result["alive"] = tool.poll() is None
    return result


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


def verdict(ok):
    return "met" if ok else "MISSED"


def mib(kb):
    return f"{kb / 1024:.1f} MiB" if kb is not None else "?"


def wire_line(name, w):
    if not w["gaps"]:
        return f"Wire timing, {name}: no command seen"
    ok = w["gaps_below_1ms"] == 0 and w["gaps_above_3ms"] == 0 and w["polls_outside_14_20ms"] == 0
    spans = (f"; {w['polls']} polls span {w['poll_span_ms_min']:.1f} / "
             f"{w['poll_span_ms_median']:.1f} / {w['poll_span_ms_max']:.1f} ms (min / median / "
             f"max), {w['polls_outside_14_20ms']} outside 14-20 ms" if w["polls"] else "")
    return (f"Wire timing, {name}: {w['gaps']} gaps within {w['commands']} commands, "
            f"{w['gap_ms_min']:.3f} / {w['gap_ms_median']:.3f} / {w['gap_ms_max']:.3f} ms (min / "
            f"median / max), {w['gaps_below_1ms']} below 1 ms ({w['gaps_read_together']} of them "
            f"two bytes read in one chunk)"
            f", {w['gaps_above_3ms']} above 3 ms{spans} (target: gaps 1-3 ms, polls 14-20 ms: "
            f"{verdict(ok)})")


def cpu_text(m, target):
    """ "CPU <ms> ms = <%> % of a core (target < <target> %: met|MISSED)" of one measurement."""
    return (f"CPU {m['cpu_s'] * 1000:.0f} ms = {m['cpu_percent']:.2f} % of a core (target < "
            f"{target} %: {verdict(m['cpu_percent'] < target)})")


def ticks_text(m):
    """The spacing of the connect bursts of a searching phase."""
    return (f"interval min {m['tick_ms_min']:.0f} ms, max {m['tick_ms_max']:.0f} ms, mean "
            f"{m['tick_ms_mean']:.0f} ms, 95th percentile {m['tick_ms_p95']:.0f} ms")


def summary(r):
    lines = [f"Machine: {r['machine']}", f"Date: {r['date']}",
             f"Load average before/after: {r['load_before']} / {r['load_after']}",
             f"uptime before: {r['uptime_before']}", f"uptime after: {r['uptime_after']}", ""]
    s = r.get("start")
    if s:
        lines.append(f"Start to first connect byte ({len(s['runs'])} starts): median "
                     f"{s['median_ms']:.0f} ms, min {s['min_ms']:.0f}, max {s['max_ms']:.0f} "
                     f"(time-base uncertainty {s['calibration_uncertainty_us']:.0f} us); window "
                     f"shown after {s['window_median_ms']:.0f} ms (median)")
    li = r.get("linked")
    if li:
        lines += [
            f"Linked, {li['seconds']:.1f} s: {cpu_text(li, 0.3)}; {li['polls']} polls, "
            f"{li['reconnects']} reconnects",
            f"Linked memory: VmRSS {mib(li['vmrss_kb'])}, VmHWM {mib(li['vmhwm_kb'])} "
            f"(target < 40 MB: {verdict(li['vmhwm_kb'] * 1024 / 1e6 < 40)}); RssAnon "
            f"{mib(li['rss_anon_kb'])}, RssFile {mib(li['rss_file_kb'])}, RssShmem "
            f"{mib(li['rss_shmem_kb'])}, Pss {mib(li['pss_kb'])}",
            wire_line("linked", li["wire"])]
    b = r.get("bench")
    if b:
        for name, agg in b.items():
            lines.append(f"Identification line to controls enabled, {name}: median "
                         f"{agg['median']['real_us']:.1f} us real, {agg['median']['cpu_us']:.1f}"
                         f" us CPU")
    q = r.get("quiet")
    if q:
        lines += [
            f"Searching, silent device, {q['seconds']:.1f} s: {cpu_text(q, 1)}; "
            f"{q['connects']} connects, {ticks_text(q)}; VmRSS last {mib(q['rss_last_kb'])}",
            wire_line("searching", q["wire"])]
    st = r.get("stream")
    if st:
        t, c = st["tool"], st.get("cutecom")
        line = (f"Stream of report lines, {st['seconds']:.1f} s: tool CPU {t['cpu_s'] * 1000:.0f} "
                f"ms = {t['cpu_percent']:.2f} % of a core, VmRSS last {mib(t['rss_last_kb'])}, "
                f"read {t['read_bytes_per_s']:.0f} bytes/s; {st['polls']} polls, "
                f"{st['reconnects']} reconnects")
        if c:
            ok = t["cpu_percent"] < 1.5 and st["ratio"] <= 0.5
            line += (f"\n  CuteCom on the same stream: CPU {c['cpu_s'] * 1000:.0f} ms = "
                     f"{c['cpu_percent']:.2f} %, VmRSS first {mib(c['rss_first_kb'])}, last "
                     f"{mib(c['rss_last_kb'])}, read {c['read_bytes_per_s']:.0f} bytes/s"
                     f"\n  tool / CuteCom CPU = {st['ratio']:.2f} (target: at most 0.5 and tool "
                     f"< 1.5 %: {verdict(ok)})")
            if c["read_bytes_per_s"] < 0.9 * 11520:
                line += "\n  CuteCom read less than 90 % of the stream: the ratio is not a fair one"
        else:
            line += f" (no CuteCom; tool target < 1.5 %: {verdict(t['cpu_percent'] < 1.5)})"
        if "x_server" in st:
            line += f"\n  Xvfb (drawing for both) {st['x_server']['cpu_percent']:.2f} %"
        line += f"; simulator {st['sim']['cpu_percent']:.2f} %"
        lines += [line, wire_line("stream", st["wire"])]
    ch = r.get("chart")
    if ch:
        targets = {"closed": 0.3, "open": 1, "closed_again": 0.3}
        for phase, target in targets.items():
            m = ch[phase]
            lines.append(
                f"Chart {phase.replace('_', ' ')}, {m['seconds']:.1f} s: "
                f"{cpu_text(m['tool'], target)}; {m['polls']} polls, {m['reconnects']} "
                f"reconnects; VmRSS last {mib(m['tool']['rss_last_kb'])}"
                + (f"; Xvfb {m['x_server']['cpu_percent']:.2f} %" if "x_server" in m else ""))
    fl = r.get("flood")
    if fl:
        lines += [
            f"Flood, {fl['seconds']:.1f} s: {cpu_text(fl, 10)}; simulator "
            f"{fl['sim_cpu_percent']:.2f} %; "
            f"tool read {fl['read_bytes_per_s']:.0f} bytes/s in {fl['read_calls_per_s']:.0f} "
            f"read calls/s",
            f"Flood ticks: {fl['connects']} connects ({fl['id_queries']} ID?, {fl['polls']} RALL)"
            f", {ticks_text(fl)}",
            f"Flood VmRSS: first {mib(fl['rss_first_kb'])}, last {mib(fl['rss_last_kb'])}, max "
            f"{mib(fl['rss_max_kb'])} ({len(fl['rss_samples'])} samples, every 5 s)",
            wire_line("flood", fl["wire"])]
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


def uptime():
    return subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()


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
    parser.add_argument("--no-peer", dest="peer", action="store_false",
                        help="leave CuteCom out of the stream measurement")
    parser.add_argument("--peer-preload", help="PtyModemLines.c built, preloaded into CuteCom")
    parser.add_argument("--phases", default="start,linked,bench,quiet,stream,flood,chart",
                        help="which measurements to run, comma-separated")
    args = parser.parse_args()
    for signo in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signo, on_signal)

    exe = os.path.join(args.work, "ZK4")
    subprocess.run(["cp", args.tool, exe], check=True)
    procs = Processes(os.path.join(args.work, "pids"))
    result = {"machine": machine(), "date": time.strftime("%Y-%m-%d %H:%M:%S %Z"),
              "load_before": load(), "uptime_before": uptime(), "seconds": args.seconds}
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
        if "stream" in phases:
            result["stream"] = measure_stream(procs, args, args.work)
        if "flood" in phases:
            result["flood"] = measure_searching(procs, args, args.work, "flood", ["--flood"])
        if "chart" in phases:
            result["chart"] = measure_chart(procs, args, args.work)
    except Stop as e:
        print(f"measure: stopped by {e}", file=sys.stderr)
        return 1
    finally:
        procs.stop_all()
    result["load_after"] = load()
    result["uptime_after"] = uptime()
    if args.json:
        with open(args.json, "w") as f:
            json.dump(result, f, indent=1)
    print(summary(result))
    return 0


if __name__ == "__main__":
    sys.exit(main())
