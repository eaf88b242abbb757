#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What wallpaper playback costs, side by side in one run on a private X server.

Xvfb with a 1920x540 root split into two 960x540 RandR monitors (LEFT and RIGHT), openbox as the
window manager, and a 1920x1080 30 fps H.264 clip made by ffmpeg. Software GL (llvmpipe) draws.

  cpu  CPU seconds over a stretch of playback (30 s by default), after a warm-up, for: Lumivale with
       one file on both displays, two mpv processes (one per display), Lumivale on one display, one
       mpv, and Lumivale paused. Lumivale is bench_playback: the real engine, X11 windows and shared
       libmpv players. CPU time is user + system time of the measured processes from /proc; the X
       server's time over the same stretch is reported beside it. Every case runs once per round
       (3 rounds by default); the tables show medians.
  rss  Resident memory of Lumivale looping a 10 s clip on both displays, sampled every minute; the
       figure is the growth from the first minute to the last.

Usage: playback_cost.py DRIVER cpu [--seconds N] [--rounds N] | rss [--minutes N]
"""

import argparse
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TICK = os.sysconf("SC_CLK_TCK")
MONITOR = (960, 540)
OPENBOX_RC = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>1</number></desktops>
</openbox_config>
"""


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += int(fields[11]) + int(fields[12])  # utime, stime
    return total / TICK


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Session:
    """Xvfb, two monitors and openbox, torn down on exit."""

    def __init__(self, work):
        self.work = work
        read_end, write_end = os.pipe()
        width, height = MONITOR
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{2 * width}x{height}x24",
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
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip(),
                        XDG_RUNTIME_DIR=os.path.join(work, "runtime"), QT_QPA_PLATFORM="xcb")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        millimetres = lambda pixels: round(pixels * 25.4 / 96)
        for index, (name, output) in enumerate((("LEFT", "screen"), ("RIGHT", "none"))):
            geometry = f"{width}/{millimetres(width)}x{height}/{millimetres(height)}+{index * width}+0"
            subprocess.run(["xrandr", "--setmonitor", name, geometry, output], env=self.env, check=True,
                           stdout=subprocess.DEVNULL)
        rc = os.path.join(work, "openbox-rc.xml")
        with open(rc, "w") as f:
            f.write(OPENBOX_RC)
        self.openbox = subprocess.Popen(["openbox", "--sm-disable", "--config-file", rc], env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1.0)

    def close(self):
        for process in (self.openbox, self.xvfb):
            process.terminate()
            process.wait()


def start_ours(session, driver, clip, *extra):
    process = subprocess.Popen([driver, clip, *extra], env=session.env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        ready, _, _ = select.select([process.stdout], [], [], 1.0)
        if ready and process.stdout.readline().strip() == "ready":
            return [process]
        if process.poll() is not None:
            break
    process.kill()
    sys.exit(f"{driver} did not put a frame on screen")


def start_mpv(session, clip, displays):
    width, height = MONITOR
    processes = []
    for index in range(displays):
        processes.append(subprocess.Popen(
            ["mpv", "--no-config", "--really-quiet", "--loop-file=inf", "--mute=yes", "--no-osc", "--no-border",
             f"--geometry={width}x{height}+{index * width}+0", "--vo=gpu", "--gpu-sw=yes", clip],
            env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    return processes


def stop(processes):
    for process in processes:
        process.send_signal(signal.SIGTERM)
    for process in processes:
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def measure(session, processes, seconds, warmup):
    time.sleep(warmup)
    pids = [p.pid for p in processes]
    if any(p.poll() is not None for p in processes):
        sys.exit("a player exited early")
    start = (cpu_seconds(pids), cpu_seconds([session.xvfb.pid]), time.monotonic())
    time.sleep(seconds)
    end = (cpu_seconds(pids), cpu_seconds([session.xvfb.pid]), time.monotonic())
    stop(processes)
    return end[0] - start[0], end[1] - start[1], end[2] - start[2]


def make_clip(work, seconds):
    clip = os.path.join(work, f"clip-{seconds}s.mp4")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    f"testsrc2=size=1920x1080:rate=30:duration={seconds}", "-c:v", "libx264", "-preset", "veryfast",
                    "-pix_fmt", "yuv420p", "-g", "60", clip], check=True)
    return clip


def run_cpu(session, driver, clip, seconds, warmup, rounds):
    cases = [
        ("Lumivale, one file on two displays", lambda: start_ours(session, driver, clip)),
        ("two mpv processes", lambda: start_mpv(session, clip, 2)),
        ("Lumivale, one display", lambda: start_ours(session, driver, clip, "--on", "LEFT")),
        ("one mpv process", lambda: start_mpv(session, clip, 1)),
        ("Lumivale, paused", lambda: start_ours(session, driver, clip, "--paused")),
    ]
    # Rounds take every case in turn, so that a slow stretch of the machine spreads over all of them.
    samples = {name: [] for name, _ in cases}
    for round_number in range(1, rounds + 1):
        for name, start in cases:
            cpu, server, elapsed = measure(session, start(), seconds, warmup)
            samples[name].append((cpu, server, elapsed))
            print(f"  round {round_number}, {name}: {cpu:.2f} s (X server {server:.2f} s) over {elapsed:.1f} s",
                  file=sys.stderr)
    median = lambda values: sorted(values)[len(values) // 2]
    results = {name: tuple(median([s[i] for s in runs]) for i in range(3)) for name, runs in samples.items()}

    print(f"\nCPU seconds over {seconds:g} s of playback, median of {rounds} rounds "
          "(1920x1080 30 fps H.264, two 960x540 monitors, llvmpipe)\n")
    print("| Case | Process CPU s | runs | X server CPU s | Process + X server |")
    print("|---|---|---|---|---|")
    for name, (cpu, server, _) in results.items():
        runs = " / ".join(f"{s[0]:.2f}" for s in samples[name])
        print(f"| {name} | {cpu:.2f} | {runs} | {server:.2f} | {cpu + server:.2f} |")

    ours2, mpv2 = results[cases[0][0]], results[cases[1][0]]
    ours1, mpv1 = results[cases[2][0]], results[cases[3][0]]
    paused = results[cases[4][0]]
    ratio = lambda a, b: a / b if b else float("inf")
    print("\n| Target | Process only | With X server | Limit |")
    print("|---|---|---|---|")
    print(f"| two displays / two mpv | {ratio(ours2[0], mpv2[0]):.3f} | "
          f"{ratio(ours2[0] + ours2[1], mpv2[0] + mpv2[1]):.3f} | 0.75 |")
    print(f"| one display / one mpv | {ratio(ours1[0], mpv1[0]):.3f} | "
          f"{ratio(ours1[0] + ours1[1], mpv1[0] + mpv1[1]):.3f} | 1.05 |")
    print(f"| paused, share of one core | {100 * paused[0] / paused[2]:.3f} % | "
          f"{100 * (paused[0] + paused[1]) / paused[2]:.3f} % | 0.2 % |")


def run_rss(session, driver, clip, minutes):
    processes = start_ours(session, driver, clip)
    pid = processes[0].pid
    samples = []
    started = time.monotonic()
    for minute in range(1, minutes + 1):
        time.sleep(max(0.0, started + 60 * minute - time.monotonic()))
        samples.append(rss_kib(pid))
        print(f"  minute {minute}: RSS {samples[-1] / 1024:.1f} MiB", file=sys.stderr)
    stop(processes)
    growth = (samples[-1] - samples[0]) / 1024
    print(f"\nRSS looping a 10 s clip on two displays: {samples[0] / 1024:.1f} MiB after 1 minute, "
          f"{samples[-1] / 1024:.1f} MiB after {minutes} minutes, growth {growth:+.2f} MiB (limit 5 MiB)")
    print("Per minute (MiB): " + ", ".join(f"{s / 1024:.1f}" for s in samples))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("driver", help="path of bench_playback")
    sub = parser.add_subparsers(dest="mode", required=True)
    cpu = sub.add_parser("cpu")
    cpu.add_argument("--seconds", type=float, default=30)
    cpu.add_argument("--warmup", type=float, default=5)
    cpu.add_argument("--rounds", type=int, default=3)
    rss = sub.add_parser("rss")
    rss.add_argument("--minutes", type=int, default=10)
    args = parser.parse_args()

    for tool in ("Xvfb", "xrandr", "openbox", "ffmpeg", "mpv"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run tools/install-deps")
    with tempfile.TemporaryDirectory(prefix="lumivale-bench-") as work:
        session = Session(work)
        try:
            clip = make_clip(work, 10)
            if args.mode == "cpu":
                run_cpu(session, os.path.abspath(args.driver), clip, args.seconds, args.warmup, args.rounds)
            else:
                run_rss(session, os.path.abspath(args.driver), clip, args.minutes)
        finally:
            session.close()


if __name__ == "__main__":
    main()
