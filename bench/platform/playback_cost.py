#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What wallpaper playback costs, Lumivale and mpv side by side in one run.

The real application runs in a private home, session bus and display server (Xvfb with openbox, or
headless sway with --backend wayland), with a 1920x1080 30 fps H.264 clip made by ffmpeg as its
wallpaper on every display. Its library window opens at launch and is closed the way a user closes it
(the window manager's close request); the measured stretch starts after a settling time. mpv plays the
same clip with --vo=gpu --hwdec=auto-safe --loop-file=inf --mute=yes, one process per display. Cases
take turns within each round (ours, mpv, ours, mpv...), so that a slow stretch of the machine spreads
over all of them; the tables show medians over the rounds.

  cpu     CPU seconds over a stretch (30 s) on two 960x540 displays and on one: Lumivale on both
          displays, two mpv processes, Lumivale on one display, one mpv, Lumivale paused. CPU is user +
          system time from /proc/PID/stat; the display server's time over the stretch is shown beside
          it. For the paused case, wakeups: context switches of all its threads per second and display.
  memory  Proportional set size (PSS, /proc/PID/smaps_rollup) and resident memory on two 1920x1080
          displays and on one, after settling, for the same cases, and Lumivale with its library
          window left open.
  rss     Resident memory and open file descriptors of Lumivale looping a clip (--clip-seconds, 10 by
          default) on two displays, sampled every minute.
  frames  Given bench_playback instead of lumivale: frames each player renders and each display shows
          per second, on two displays and on one, and the time from a full-screen window over the one
          display to its player paused, and from the window gone to playing again.

Usage: playback_cost.py LUMIVALE cpu|memory [--rounds N] [--seconds N] [--backend x11|wayland]
       playback_cost.py LUMIVALE rss [--minutes N] [--clip-seconds N] [--backend x11|wayland]
       playback_cost.py BENCH_PLAYBACK frames [--seconds N] [--backend x11|wayland]
"""

import argparse
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TICK = os.sysconf("SC_CLK_TCK")
OPENBOX_RC = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>1</number></desktops>
</openbox_config>
"""
NOBODY = 65534


def proc_stat(pid):
    with open(f"/proc/{pid}/stat") as f:
        return f.read().rsplit(")", 1)[1].split()


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        fields = proc_stat(pid)
        total += int(fields[11]) + int(fields[12])  # utime, stime
    return total / TICK


def context_switches(pids):
    total = 0
    for pid in pids:
        for status in glob.glob(f"/proc/{pid}/task/*/status"):
            try:
                with open(status) as f:
                    for line in f:
                        if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                            total += int(line.split()[1])
            except FileNotFoundError:
                pass  # a thread that ended
    return total


def memory_kib(pid, field):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


# Where proportional memory goes, by the mappings' names in /proc/PID/smaps.
KINDS = [
    ("GL driver (Mesa, LLVM)", ("_dri.so", "libLLVM", "libgallium", "libGL", "libEGL", "libglapi", "libgbm",
                                "libvulkan", "libdrm", "libxshmfence")),
    ("Qt", ("libQt6",)),
    ("decoding and mpv (libmpv, FFmpeg, codecs)", ("libmpv", "libav", "libsw", "libpostproc", "libx26",
                                                   "libdav1d", "libvpx", "libaom", "libplacebo", "/mpv")),
    ("shared buffers (shm, memfd, DRI)", ("/dev/shm", "memfd:", "/SYSV", "/dev/dri")),
    ("heap and anonymous", ("[heap]", "[stack", "[anon", "")),
]


def memory_by_kind(pid):
    """PSS in KiB per kind of mapping; libraries of no kind above count as other libraries."""
    found = {name: 0 for name, _ in KINDS}
    found["other libraries and files"] = 0
    kind = None
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            fields = line.split()
            if "-" in fields[0] and len(fields) >= 5 and not fields[0].endswith(":"):
                path = " ".join(fields[5:])
                kind = next((name for name, marks in KINDS
                             if any(mark in path if mark else path == "" for mark in marks)),
                            "other libraries and files")
            elif fields[0] == "Pss:":
                found[kind] += int(fields[1])
    return found


class X11Session:
    """Xvfb with one RandR monitor per display, side by side, and openbox."""

    mpv_context = "x11egl"

    def __init__(self, work, size, displays):
        width, height = size
        self.size, self.displays = size, displays
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{displays * width}x{height}x24",
             "+extension", "RANDR", "-dpi", "96", "-noreset", "-nolisten", "tcp"],
            pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                sys.exit("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.env = {"DISPLAY": ":" + number.decode().strip(), "QT_QPA_PLATFORM": "xcb"}
        millimetres = lambda pixels: round(pixels * 25.4 / 96)
        for index in range(displays):
            geometry = f"{width}/{millimetres(width)}x{height}/{millimetres(height)}+{index * width}+0"
            output = "screen" if index == 0 else "none"
            subprocess.run(["xrandr", "--setmonitor", f"D{index + 1}", geometry, output],
                           env=dict(os.environ, **self.env), check=True, stdout=subprocess.DEVNULL)
        rc = os.path.join(work, "openbox-rc.xml")
        with open(rc, "w") as f:
            f.write(OPENBOX_RC)
        self.window_manager = subprocess.Popen(["openbox", "--sm-disable", "--config-file", rc],
                                               env=dict(os.environ, **self.env),
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)

    def mpv_placement(self, index):
        width, height = self.size
        return [f"--geometry={width}x{height}+{index * width}+0", "--no-border"]

    def close_window_of(self, pid):
        """Asks the window manager to close the process's normal window; False while it has none."""
        env = dict(os.environ, **self.env)
        found = subprocess.run(["xdotool", "search", "--pid", str(pid)], env=env, capture_output=True,
                               text=True).stdout.split()
        for window in found:
            kind = subprocess.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"], env=env,
                                  capture_output=True, text=True).stdout
            mapped = subprocess.run(["xwininfo", "-id", window], env=env, capture_output=True,
                                    text=True).stdout
            if "_NET_WM_WINDOW_TYPE_NORMAL" in kind and "IsViewable" in mapped:
                subprocess.run(["wmctrl", "-i", "-c", window], env=env, check=True)
                return True
        return False

    def close(self):
        for process in (self.window_manager, self.server):
            process.terminate()
            process.wait()


class SwaySession:
    """Headless sway with one output per display, side by side, rendering with pixman."""

    mpv_context = "wayland"

    def __init__(self, work, size, displays):
        width, height = size
        self.size, self.displays = size, displays
        runtime = tempfile.mkdtemp(prefix="sway-", dir=work)
        config = os.path.join(runtime, "sway.conf")
        with open(config, "w") as f:
            for index in range(displays):
                f.write(f"output HEADLESS-{index + 1} resolution {width}x{height} position {index * width} 0\n")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK")}
        env.update(XDG_RUNTIME_DIR=runtime, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                   WLR_LIBINPUT_NO_DEVICES="1", WLR_HEADLESS_OUTPUTS=str(displays))
        command = ["sway", "-c", config]
        if os.geteuid() == 0:  # sway refuses to run as root
            os.chown(runtime, NOBODY, NOBODY)
            command = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"] + command
        self.server = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        sockets = ipc = []
        while time.monotonic() < deadline and not (sockets and ipc):
            time.sleep(0.2)
            sockets = [s for s in glob.glob(os.path.join(runtime, "wayland-*")) if not s.endswith(".lock")]
            ipc = glob.glob(os.path.join(runtime, "sway-ipc.*"))
        if not (sockets and ipc):
            sys.exit("sway did not start")
        self.env = {"WAYLAND_DISPLAY": sockets[0], "SWAYSOCK": ipc[0], "QT_QPA_PLATFORM": "wayland",
                    "DISPLAY": ""}

    def mpv_placement(self, index):
        return ["--fs", f"--fs-screen-name=HEADLESS-{index + 1}"]

    def close_window_of(self, pid):
        tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], env=dict(os.environ, **self.env),
                                         capture_output=True, text=True).stdout or "{}")
        stack = [tree]
        while stack:
            node = stack.pop()
            if node.get("pid") == pid and node.get("type") == "con":
                subprocess.run(["swaymsg", f"[pid={pid}] kill"], env=dict(os.environ, **self.env),
                               check=True, stdout=subprocess.DEVNULL)
                return True
            stack += node.get("nodes", []) + node.get("floating_nodes", [])
        return False

    def close(self):
        self.server.terminate()
        self.server.wait()


class Home:
    """A private home for Lumivale: preferences, the clip in its library, and its own session bus."""

    def __init__(self, work, clip, paused):
        self.root = tempfile.mkdtemp(prefix="home-", dir=work)
        config = os.path.join(self.root, "config", "Lumivale")
        library = os.path.join(self.root, "data", "Lumivale", "Library")
        runtime = os.path.join(self.root, "runtime")
        for folder in (config, library):
            os.makedirs(folder)
        os.makedirs(runtime, mode=0o700)
        os.symlink(clip, os.path.join(library, "bench.mp4"))
        with open(os.path.join(config, "preferences.json"), "w") as f:
            json.dump({"assignments": {"*": "bench"}, "userPaused": paused, "firstRunSent": True}, f)
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.env = {
            "HOME": self.root, "XDG_CONFIG_HOME": os.path.dirname(config),
            "XDG_DATA_HOME": os.path.dirname(os.path.dirname(library)),
            "XDG_CACHE_HOME": os.path.join(self.root, "cache"), "XDG_RUNTIME_DIR": runtime,
            "DBUS_SESSION_BUS_ADDRESS": self.bus.stdout.readline().strip(),
            # Nothing answers here: the catalog reads as offline and no update or ping goes out.
            "LUMIVALE_CATALOG_URL": "http://127.0.0.1:9/",
        }

    def close(self):
        self.bus.terminate()
        self.bus.wait()
        shutil.rmtree(self.root, ignore_errors=True)


class Ours:
    def __init__(self, app, session, work, clip, paused=False, close_window=True):
        self.session = session
        self.home = Home(work, clip, paused)
        env = dict(os.environ, **session.env, **self.home.env)
        self.process = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes = [self.process]
        deadline = time.monotonic() + 30
        while close_window and not session.close_window_of(self.process.pid):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.stop()
                sys.exit("Lumivale's library window did not appear")
            time.sleep(0.3)

    def stop(self):
        stop(self.processes)
        self.home.close()


class Mpv:
    def __init__(self, session, clip, displays):
        self.session = session
        env = dict(os.environ, **session.env)
        self.processes = [subprocess.Popen(
            ["mpv", "--no-config", "--really-quiet", "--loop-file=inf", "--mute=yes", "--no-osc",
             "--vo=gpu", f"--gpu-context={session.mpv_context}", "--hwdec=auto-safe",
             *session.mpv_placement(index), clip],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for index in range(displays)]

    def stop(self):
        stop(self.processes)


def stop(processes):
    for process in processes:
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
    for process in processes:
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def make_clip(work, seconds):
    clip = os.path.join(work, f"clip-{seconds}s.mp4")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    f"testsrc2=size=1920x1080:rate=30:duration={seconds}", "-c:v", "libx264", "-preset", "veryfast",
                    "-pix_fmt", "yuv420p", "-g", "60", clip], check=True)
    return clip


def median(values):
    return sorted(values)[len(values) // 2]


def ratio(a, b):
    return a / b if b else float("inf")


def side_by_side(args, two, one, work, clip):
    """Lumivale and mpv on two displays, then on one."""
    return [
        ("Lumivale, two displays", lambda: Ours(args.app, two, work, clip)),
        ("two mpv processes", lambda: Mpv(two, clip, 2)),
        ("Lumivale, one display", lambda: Ours(args.app, one, work, clip)),
        ("one mpv process", lambda: Mpv(one, clip, 1)),
    ]


def medians(samples):
    """Each case's median of every measured figure."""
    return {name: [median(values) for values in zip(*runs)] for name, runs in samples.items()}


def interleave(cases, rounds, measure):
    """Runs every case once per round, in turn; returns each case's list of samples."""
    samples = {name: [] for name, _ in cases}
    for round_number in range(1, rounds + 1):
        for name, start in cases:
            player = start()
            try:
                if any(p.poll() is not None for p in player.processes):
                    sys.exit(f"{name}: a player exited early")
                samples[name].append(measure(player))
            finally:
                player.stop()
            print(f"  round {round_number}, {name}: {samples[name][-1]}", file=sys.stderr)
    return samples


def run_cpu(args, sessions, work, clip):
    two, one = sessions

    def measure(player):
        time.sleep(args.settle)
        pids = [p.pid for p in player.processes]
        server = player.session.server.pid
        start = (cpu_seconds(pids), cpu_seconds([server]), context_switches(pids), time.monotonic())
        time.sleep(args.seconds)
        end = (cpu_seconds(pids), cpu_seconds([server]), context_switches(pids), time.monotonic())
        return tuple(round(b - a, 3) for a, b in zip(start, end))

    cases = side_by_side(args, two, one, work, clip) + [
        ("Lumivale paused, two displays", lambda: Ours(args.app, two, work, clip, paused=True)),
    ]
    samples = interleave(cases, args.rounds, measure)
    results = medians(samples)

    width, height = two.size
    print(f"\nCPU seconds over {args.seconds:g} s of playback, median of {args.rounds} rounds "
          f"(1920x1080 30 fps H.264, {width}x{height} displays, {args.backend}, software GL)\n")
    print("| Case | Process CPU s | share of a core | runs | server CPU s |")
    print("|---|---|---|---|---|")
    for name, (cpu, server, _, elapsed) in results.items():
        runs = " / ".join(f"{s[0]:.2f}" for s in samples[name])
        print(f"| {name} | {cpu:.2f} | {100 * cpu / elapsed:.2f} % | {runs} | {server:.2f} |")
    ours2, mpv2, ours1, mpv1, paused = (results[name] for name, _ in cases)
    print("\n| Target | Measured | Goal |")
    print("|---|---|---|")
    print(f"| two displays / two mpv (CPU) | {ratio(ours2[0], mpv2[0]):.3f} | 0.65 |")
    print(f"| one display / one mpv (CPU) | {ratio(ours1[0], mpv1[0]):.3f} | 1.0 |")
    print(f"| second display's own cost, share of a core | {100 * (ours2[0] - ours1[0]) / ours2[3]:.2f} % | |")
    print(f"| paused, share of a core | {100 * paused[0] / paused[3]:.3f} % | 0.1 % |")
    print(f"| paused, wakeups per second and display | {paused[2] / paused[3] / two.displays:.2f} | 1 |")


def run_memory(args, sessions, work, clip):
    two, one = sessions

    kinds = []

    def measure(player):
        time.sleep(args.settle)
        pids = [p.pid for p in player.processes]
        kinds.append({name: sum(memory_by_kind(pid)[name] for pid in pids) / 1024
                      for name in memory_by_kind(pids[0])})
        return (sum(memory_kib(pid, "Pss") for pid in pids) / 1024,
                sum(memory_kib(pid, "Rss") for pid in pids) / 1024)

    cases = side_by_side(args, two, one, work, clip) + [
        ("Lumivale, two displays, library window open", lambda: Ours(args.app, two, work, clip,
                                                                      close_window=False)),
    ]
    samples = interleave(cases, args.rounds, measure)
    results = medians(samples)
    width, height = two.size
    print(f"\nMemory after {args.settle:g} s of playback, median of {args.rounds} rounds "
          f"(1920x1080 30 fps H.264, {width}x{height} displays, {args.backend})\n")
    print("| Case | PSS MiB | RSS MiB |")
    print("|---|---|---|")
    for name, (pss, rss) in results.items():
        print(f"| {name} | {pss:.1f} | {rss:.1f} |")
    ours2, mpv2, ours1, mpv1, _ = (results[name] for name, _ in cases)
    print("\n| Target | Measured | Goal |")
    print("|---|---|---|")
    print(f"| two displays / two mpv (PSS) | {ratio(ours2[0], mpv2[0]):.3f} | 0.65 |")
    print(f"| one display / one mpv (PSS) | {ratio(ours1[0], mpv1[0]):.3f} | 1.0 |")
    print("\nWhere the PSS goes in the last round (MiB)\n")
    last = dict(zip((name for name, _ in cases), kinds[-len(cases):]))
    print("| Kind of mapping | " + " | ".join(last) + " |")
    print("|---|" + "---|" * len(last))
    for kind in last[cases[0][0]]:
        print(f"| {kind} | " + " | ".join(f"{by_kind[kind]:.1f}" for by_kind in last.values()) + " |")


def run_rss(args, sessions, work, clip):
    player = Ours(args.app, sessions[0], work, clip)
    pid = player.process.pid
    samples = []
    started = time.monotonic()
    try:
        for minute in range(1, args.minutes + 1):
            time.sleep(max(0.0, started + 60 * minute - time.monotonic()))
            samples.append((memory_kib(pid, "Rss"), len(os.listdir(f"/proc/{pid}/fd"))))
            print(f"  minute {minute}: RSS {samples[-1][0] / 1024:.1f} MiB, {samples[-1][1]} fds", file=sys.stderr)
    finally:
        player.stop()
    growth = (samples[-1][0] - samples[0][0]) / 1024
    loops = int(60 * args.minutes / args.clip_seconds)
    print(f"\nRSS looping a {args.clip_seconds:g} s clip on two displays ({args.backend}, about {loops} loops): "
          f"{samples[0][0] / 1024:.1f} MiB after 1 minute, {samples[-1][0] / 1024:.1f} MiB after {args.minutes} "
          f"minutes, growth {growth:+.2f} MiB (limit 5 MiB); open files {samples[0][1]} then {samples[-1][1]}")
    print("Per minute (MiB/fds): " + ", ".join(f"{r / 1024:.1f}/{f}" for r, f in samples))


def run_frames(args, sessions, work, clip):
    two, one = sessions
    for name, session, extra in (("two displays", two, []), ("one display", one, ["--covers", "5"])):
        out = subprocess.run([args.app, "--backend", args.backend, clip, "--seconds", f"{args.seconds:g}", *extra],
                             env=dict(os.environ, **session.env), capture_output=True, text=True).stdout
        print(f"\n{name} ({args.backend}):")
        print("\n".join(line for line in out.splitlines() if line.startswith(("player", "window", "covered"))))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("app", help="path of the lumivale executable")
    parser.add_argument("mode", choices=("cpu", "memory", "rss", "frames"))
    parser.add_argument("--backend", choices=("x11", "wayland"), default="x11")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=30, help="length of a CPU stretch")
    parser.add_argument("--settle", type=float, default=5, help="time before a stretch or a reading")
    parser.add_argument("--minutes", type=int, default=10, help="length of the rss run")
    parser.add_argument("--clip-seconds", type=float, default=10, help="length of the clip the rss run loops")
    args = parser.parse_args()
    args.app = os.path.abspath(args.app)

    tools = ["ffmpeg", "mpv", "dbus-daemon"] + (["Xvfb", "xrandr", "openbox", "xdotool", "xprop", "xwininfo",
                                                 "wmctrl"] if args.backend == "x11" else ["sway", "swaymsg"])
    for tool in tools:
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run tools/install-deps")
    Session = X11Session if args.backend == "x11" else SwaySession
    size = (1920, 1080) if args.mode == "memory" else (960, 540)
    with tempfile.TemporaryDirectory(prefix="lumivale-bench-") as work:
        os.chmod(work, 0o755)
        sessions = [Session(work, size, 2), Session(work, size, 1)]
        try:
            clip = make_clip(work, args.clip_seconds if args.mode == "rss" else 10)
            modes = {"cpu": run_cpu, "memory": run_memory, "rss": run_rss, "frames": run_frames}
            modes[args.mode](args, sessions, work, clip)
        finally:
            for session in sessions:
                session.close()


if __name__ == "__main__":
    main()
