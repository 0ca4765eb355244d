#!/usr/bin/env python3
"""Loads reports of many rows in headless Chromium and Firefox, with and without the shipped
stylesheet, and prints a Markdown table of medians: CPU seconds of all the browser's processes
and the peak resident memory of the tab's process (Chromium's renderer, Firefox's content
process).

Usage: bench/report_load.py [--build DIR] [--rows 0,10000,100000,300000] [--runs 3]
                            [--browsers chromium,firefox] [--work DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TIMEOUT_SECONDS = 900
SAMPLE_SECONDS = 0.05

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
]

FIREFOX_PREFERENCES = """\
user_pref("app.update.enabled", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
"""


def make_tree(folder, rows):
    """`rows` empty files, 100 to a folder, with names as long as a camera's."""
    done = folder + ".complete"
    if os.path.exists(done):
        return
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for index in range(rows):
        sub = os.path.join(folder, "photos", f"{2000 + index // 36500}", f"{index // 100 % 365:03}")
        if index % 100 == 0:
            os.makedirs(sub, exist_ok=True)
        open(os.path.join(sub, f"IMG_{index:07}_holiday at the lake.jpg"), "wb").close()
    open(done, "wb").close()


def make_reports(vaskerel, work, rows):
    folder = os.path.join(work, str(rows))
    tree = os.path.join(folder, "tree")
    make_tree(tree, rows)
    subprocess.run([vaskerel, "--write-stylesheet", os.path.join(folder, "report.css")], check=True)
    reports = {}
    for style, reference in (("none", ""), ("shipped", "report.css")):
        report = os.path.join(folder, f"{style}.htm")
        subprocess.run([vaskerel, "-i", tree, "-o", report, "-s", reference, "-q"], check=True)
        reports[style] = report
    return reports


def browser_command(browser, profile, shot, url):
    if browser == "chromium":
        return ["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", "--window-size=1280,1024",
                f"--screenshot={shot}", url]
    with open(os.path.join(profile, "user.js"), "w") as preferences:
        preferences.write(FIREFOX_PREFERENCES)
    return ["firefox-esr", "--headless", "--no-remote", "--profile", profile, "--window-size=1280,1024",
            "--screenshot", shot, url]


class ProcessTree:
    """Samples the processes of one browser: its session and every descendant. CPU time is the
    last sample of each process, so a process that ends between samples loses at most one
    interval of it; peak memory is each process's own high-water mark (VmHWM)."""

    TICK = os.sysconf("SC_CLK_TCK")

    def __init__(self, root):
        self.root = root
        self.cpu_ticks = {}
        self.peak_kib = {}
        self.tabs = set()

    def sample(self):
        for entry in os.scandir("/proc"):
            if not entry.name.isdigit():
                continue
            pid = int(entry.name)
            try:
                with open(f"/proc/{pid}/stat") as stat:
                    text = stat.read()
                fields = text[text.rindex(")") + 2:].split()
                parent, session = int(fields[1]), int(fields[3])
                if pid != self.root and session != self.root and parent not in self.cpu_ticks:
                    continue
                # A forked process takes its final command line a moment after it starts.
                if pid not in self.tabs and is_tab(pid):
                    self.tabs.add(pid)
                self.cpu_ticks[pid] = int(fields[11]) + int(fields[12])
                with open(f"/proc/{pid}/status") as status:
                    for line in status:
                        if line.startswith("VmHWM:"):
                            self.peak_kib[pid] = max(self.peak_kib.get(pid, 0), int(line.split()[1]))
            except (OSError, ValueError, IndexError):
                continue

    def cpu_seconds(self):
        return sum(self.cpu_ticks.values()) / self.TICK

    def tab_peak_mib(self):
        return max((self.peak_kib.get(pid, 0) for pid in self.tabs), default=0) / 1024


def is_tab(pid):
    """Chromium's renderers and Firefox's content processes for web pages."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            arguments = cmdline.read().replace(b"\0", b" ").strip()
    except OSError:
        return False
    # Chromium rewrites its renderers' command line as one string.
    return b" --type=renderer " in arguments or (b" -isForBrowser " in arguments and arguments.endswith(b" tab"))


def load_once(browser, report):
    """CPU seconds, the tab's peak RSS in MiB and seconds taken by one load in a fresh profile,
    or None on a failure."""
    with tempfile.TemporaryDirectory(prefix="vaskerel-load-") as scratch:
        profile = os.path.join(scratch, "profile")
        os.mkdir(profile)
        shot = os.path.join(scratch, "shot.png")
        command = browser_command(browser, profile, shot, "file://" + report)
        started = time.monotonic()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        tree = ProcessTree(process.pid)
        while process.poll() is None:
            tree.sample()
            if time.monotonic() - started > TIMEOUT_SECONDS:
                os.killpg(process.pid, 9)
                process.wait()
                print(f"  {browser} {report}: no result in {TIMEOUT_SECONDS} s", file=sys.stderr)
                return None
            time.sleep(SAMPLE_SECONDS)
        elapsed = time.monotonic() - started
        if process.returncode != 0 or not os.path.exists(shot) or os.path.getsize(shot) < 1000:
            print(f"  {browser} {report}: status {process.returncode}, no screenshot", file=sys.stderr)
            return None
        return tree.cpu_seconds(), tree.tab_peak_mib(), elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--rows", default="0,10000,100000,300000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--browsers", default="chromium,firefox")
    parser.add_argument("--work", default="/tmp/vaskerel-report-load")
    options = parser.parse_args()

    vaskerel = os.path.abspath(os.path.join(options.build, "window", "vaskerel"))
    browsers = options.browsers.split(",")
    # Only this measurement needs Firefox; the project's setup leaves it out.
    if "firefox" in browsers and shutil.which("firefox-esr") is None:
        root = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(root + ["apt-get", "install", "-y", "-qq", "--no-install-recommends", "firefox-esr"], check=True)
    row_counts = [int(rows) for rows in options.rows.split(",")]
    os.makedirs(options.work, exist_ok=True)
    reports = {}
    for rows in row_counts:
        print(f"making the reports of {rows} rows ...", file=sys.stderr)
        reports[rows] = make_reports(vaskerel, os.path.abspath(options.work), rows)

    results = {}
    # Every case once per round, so that a slow spell of the machine touches all of them.
    for round_number in range(options.runs):
        for rows in row_counts:
            for style in ("none", "shipped"):
                for browser in browsers:
                    started = time.monotonic()
                    result = load_once(browser, reports[rows][style])
                    results.setdefault((rows, style, browser), []).append(result)
                    print(f"round {round_number + 1}: {rows} {style} {browser}: {result} "
                          f"({time.monotonic() - started:.0f} s)", file=sys.stderr)

    names = {"chromium": "Chromium", "firefox": "Firefox"}
    print("| rows | stylesheet | " + " | ".join(f"{names[b]} CPU s / MiB" for b in browsers) + " |")
    print("|---|---|" + "---|" * len(browsers))
    for rows in row_counts:
        for style in ("none", "shipped"):
            cells = []
            for browser in browsers:
                runs = [run for run in results[(rows, style, browser)] if run is not None]
                failed = options.runs - len(runs)
                if not runs:
                    cells.append("failed")
                    continue
                cpu = statistics.median(run[0] for run in runs)
                peak = statistics.median(run[1] for run in runs)
                cells.append(f"{cpu:,.1f} / {peak:,.0f}" + (f" ({failed} failed)" if failed else ""))
            print(f"| {rows:,} | {style} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
