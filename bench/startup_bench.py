#!/usr/bin/python3
"""Start-up time: from process start to the first window mapped, for `patchlens samples` (the viewer
on the bundled samples, as `make run` starts it) and for a Qt Widgets hello-world, the two taking
turns, on an X server of its own (Xvfb), with openbox and without a window manager.

What is measured: a watcher on the same display (python3-xlib) selects SubstructureNotify on the
root window, takes the time, starts the program and waits for the first MapNotify on the root
window after that: under openbox the map of the frame it puts round the window (after the client
asked for it to be mapped), without a window manager the map of the window itself. The program is
then ended with SIGTERM. Each run has a fresh HOME and XDG folders and a program folder of its own
(hard links to the built programs), so that no settings, library or cache carry over; the page
cache is warm (every program has run before the measured runs).

    bench/startup_bench.py [--runs 21] [--build build/default] [--no-bare]

Prints both medians, their ratio and whether the ratio is within the target (1.3).
"""

import argparse
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay

TARGET = 1.3
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def start_server():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-ac",
                               "-noreset", "-nolisten", "tcp"],
                              pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        sys.exit("Xvfb did not start")
    return server, ":" + number


def start_manager(env, conn):
    manager = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    check = conn.intern_atom("_NET_SUPPORTING_WM_CHECK")
    deadline = time.monotonic() + 10
    while conn.screen().root.get_full_property(check, X.AnyPropertyType) is None:
        if manager.poll() is not None or time.monotonic() > deadline:
            sys.exit("openbox did not start")
        time.sleep(0.05)
    return manager


def run_once(conn, command, env, scratch):
    """Milliseconds from the program's start to the first window mapped on the root window."""
    home = tempfile.mkdtemp(dir=scratch)
    run_env = dict(env, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                   XDG_CACHE_HOME=home + "/cache", XDG_STATE_HOME=home + "/state", XDG_RUNTIME_DIR=home + "/run")
    os.mkdir(home + "/run", 0o700)
    programs = home + "/bin"
    os.mkdir(programs)
    for program in command.programs:
        os.link(program, os.path.join(programs, os.path.basename(program)))
    argv = [os.path.join(programs, os.path.basename(command.programs[0]))] + command.args
    while conn.pending_events():  # anything left from the run before
        conn.next_event()
    fd = conn.fileno()
    start = time.monotonic()
    process = subprocess.Popen(argv, env=run_env, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = None
    deadline = start + 20
    while mapped is None:
        while conn.pending_events():
            event = conn.next_event()
            if event.type == X.MapNotify:
                mapped = time.monotonic()
                break
        if mapped is None:
            if process.poll() is not None or time.monotonic() > deadline:
                process.kill()
                sys.exit(f"{' '.join(command.args) or argv[0]}: no window was mapped")
            select.select([fd], [], [], 0.5)
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    # Let the unmaps of this run pass before the next one starts.
    time.sleep(0.05)
    shutil.rmtree(home, ignore_errors=True)
    return 1000 * (mapped - start)


class Command:
    def __init__(self, name, programs, args):
        self.name, self.programs, self.args = name, programs, args


def measure(commands, runs, env, manager_wanted, scratch):
    conn = xdisplay.Display(env["DISPLAY"])
    manager = start_manager(env, conn) if manager_wanted else None
    try:
        conn.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        conn.sync()
        for command in commands:  # warm the caches
            run_once(conn, command, env, scratch)
        times = {command.name: [] for command in commands}
        for _ in range(runs):
            for command in commands:
                times[command.name].append(run_once(conn, command, env, scratch))
        return times
    finally:
        if manager is not None:
            manager.terminate()
            manager.wait()
        conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "default"))
    parser.add_argument("--no-bare", action="store_true", help="only with openbox")
    options = parser.parse_args()
    apps = os.path.join(options.build, "src", "app")
    commands = [
        Command("patchlens samples", [os.path.join(apps, "patchlens"), os.path.join(apps, "patchlens-window")],
                ["samples"]),
        Command("hello_window", [os.path.join(options.build, "bench", "hello_window")], []),
    ]
    for command in commands:
        for program in command.programs:
            if not os.access(program, os.X_OK):
                sys.exit(f"{program} not found: build the benchmarks first (make build)")
    server, name = start_server()
    env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "SESSION_MANAGER")}
    env["DISPLAY"] = name
    scratch = tempfile.mkdtemp(prefix="startup-bench-")
    met = True
    try:
        # Give the server a moment to take connections.
        for _ in range(100):
            try:
                xdisplay.Display(name).close()
                break
            except Exception:
                time.sleep(0.05)
        for manager_wanted in (True, False) if not options.no_bare else (True,):
            times = measure(commands, options.runs, env, manager_wanted, scratch)
            ours, hello = (statistics.median(times[c.name]) for c in commands)
            ratio = ours / hello
            met = met and ratio <= TARGET
            print(f"{'with openbox' if manager_wanted else 'no window manager'}, {options.runs} runs each, taking turns:")
            for command in commands:
                values = times[command.name]
                print(f"  {command.name:18} median {statistics.median(values):6.1f} ms"
                      f"  (min {min(values):6.1f}, max {max(values):6.1f})")
            print(f"  ratio {ratio:.2f}: {'within' if ratio <= TARGET else 'NOT within'} the target of {TARGET} x")
            sys.stdout.flush()
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(scratch, ignore_errors=True)
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
