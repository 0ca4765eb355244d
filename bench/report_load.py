#!/usr/bin/python3
"""Loads reports of many rows in headless Chromium and Firefox, with and without the shipped
stylesheet, then uses them as a reader would, and prints Markdown tables of medians.

For each load: CPU seconds of all the browser's processes from the navigation to the load's
end, the seconds until the load ended and until the first paint, and the peak resident memory
of the tab's process (Chromium's renderer, Firefox's content process). Then, on the loaded
page, the seconds that End, Home and a find of a name near the end take until the next frame
is drawn, and the tab's peak memory after them. Each case runs in a fresh profile; cases take
turns within every round, so that a slow spell of a shared machine touches all of them.

Usage: bench/report_load.py [--build DIR] [--rows 10000,300000] [--runs 3]
                            [--browsers chromium,firefox] [--styles none,shipped]
                            [--stylesheet FILE] [--work DIR]

--stylesheet measures another stylesheet in place of the shipped one. It drives Chromium
through its DevTools protocol and Firefox through WebDriver BiDi, with Debian's
python3-websocket, which it installs with Firefox when they are missing.
"""

import argparse
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

LOAD_TIMEOUT_SECONDS = 900
SAMPLE_SECONDS = 0.05

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-smooth-scrolling", "--window-size=1280,1024",
]

FIREFOX_PREFERENCES = """\
user_pref("app.update.enabled", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("general.smoothScroll", false);
"""

# Resolves, as JSON, once the page has drawn two frames after `action` ran.
TIMED_ACTION = """(async () => {
  const frames = () => new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)));
  const started = performance.now();
  const result = (() => { %s })();
  await frames();
  return JSON.stringify({seconds: (performance.now() - started) / 1000, result});
})()"""

LOADED = """(async () => {
  if (location.href !== %s || document.readyState !== "complete")
    return JSON.stringify(null);
  await new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)));
  const navigation = performance.getEntriesByType("navigation")[0];
  const paint = performance.getEntriesByName("first-contentful-paint")[0];
  return JSON.stringify({load: navigation.loadEventEnd / 1000, firstPaint: paint ? paint.startTime / 1000 : null,
                         rows: document.querySelector("table").rows.length - 1});
})()"""

ACTIONS = {
    "end": "const s = document.scrollingElement; s.scrollTop = s.scrollHeight; return s.scrollTop > 0;",
    "home": "const s = document.scrollingElement; s.scrollTop = 0; return s.scrollTop === 0;",
    # From the top, as a reader's find starts; the name sits ten rows before the end.
    "find": "getSelection().removeAllRanges(); return window.find(%s);",
}


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
        open(os.path.join(sub, file_name(index)), "wb").close()
    open(done, "wb").close()


def file_name(index):
    return f"IMG_{index:07}_holiday at the lake.jpg"


def make_reports(vaskerel, work, rows, stylesheet):
    folder = os.path.join(work, str(rows))
    tree = os.path.join(folder, "tree")
    make_tree(tree, rows)
    if stylesheet:
        shutil.copyfile(stylesheet, os.path.join(folder, "report.css"))
    else:
        subprocess.run([vaskerel, "--write-stylesheet", os.path.join(folder, "report.css")], check=True)
    reports = {}
    for style, reference in (("none", ""), ("shipped", "report.css")):
        report = os.path.join(folder, f"{style}.htm")
        if not os.path.exists(report):
            subprocess.run([vaskerel, "-i", tree, "-o", report, "-s", reference, "-q"], check=True)
        reports[style] = report
    return reports


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = condition()
            if value:
                return value
        except (OSError, ValueError):
            pass
        time.sleep(0.1)
    raise RuntimeError(f"no {what} within {seconds} s")


class Connection:
    """One WebSocket of a browser's remote protocol: commands by id, events passed by."""

    def __init__(self, url):
        import websocket
        self.socket = websocket.create_connection(url, suppress_origin=True, timeout=LOAD_TIMEOUT_SECONDS)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") != self.next_id:
                continue
            if "error" in message:
                raise RuntimeError(f"{method}: {message['error']} {message.get('message', '')}")
            return message["result"]

    def close(self):
        self.socket.close()


class Chromium:
    def __init__(self, profile):
        self.port = free_port()
        self.command = ["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}",
                        f"--remote-debugging-port={self.port}", "about:blank"]

    def connect(self):
        def page():
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list", timeout=5) as answer:
                return next((t["webSocketDebuggerUrl"] for t in json.load(answer) if t["type"] == "page"), None)
        self.connection = Connection(wait_for(page, 60, "Chromium page"))

    def navigate(self, url):
        self.connection.call("Page.navigate", url=url)

    def evaluate(self, expression):
        result = self.connection.call("Runtime.evaluate", expression=expression, awaitPromise=True,
                                      returnByValue=True)
        return json.loads(result["result"]["value"])


class Firefox:
    def __init__(self, profile):
        self.port = free_port()
        with open(os.path.join(profile, "user.js"), "w") as preferences:
            preferences.write(FIREFOX_PREFERENCES)
        self.command = ["firefox-esr", "--headless", "--no-remote", "--profile", profile,
                        "--remote-debugging-port", str(self.port), "about:blank"]

    def connect(self):
        self.connection = wait_for(lambda: Connection(f"ws://127.0.0.1:{self.port}/session"), 60, "Firefox session")
        self.connection.call("session.new", capabilities={})
        self.context = self.connection.call("browsingContext.getTree")["contexts"][0]["context"]
        self.connection.call("browsingContext.setViewport", context=self.context,
                             viewport={"width": 1280, "height": 1024})

    def navigate(self, url):
        self.connection.call("browsingContext.navigate", context=self.context, url=url, wait="none")

    def evaluate(self, expression):
        result = self.connection.call("script.evaluate", expression=expression, awaitPromise=True,
                                      target={"context": self.context})
        if result["type"] != "success":
            raise RuntimeError(f"script failed: {result}")
        return json.loads(result["result"]["value"])


BROWSERS = {"chromium": Chromium, "firefox": Firefox}


class ProcessTree:
    """Samples the processes of one browser: its session and every descendant. CPU time is the
    last sample of each process; peak memory is each process's own high-water mark (VmHWM)."""

    TICK = os.sysconf("SC_CLK_TCK")

    def __init__(self, root):
        self.root = root
        self.cpu_ticks = {}
        self.peak_kib = {}
        self.tabs = set()
        self.lock = threading.Lock()
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.stopped.wait(SAMPLE_SECONDS):
            self.sample()

    def sample(self):
        with self.lock:
            for entry in os.scandir("/proc"):
                if entry.name.isdigit():
                    self.sample_process(int(entry.name))

    def sample_process(self, pid):
        try:
            with open(f"/proc/{pid}/stat") as stat:
                text = stat.read()
            fields = text[text.rindex(")") + 2:].split()
            parent, session = int(fields[1]), int(fields[3])
            if pid != self.root and session != self.root and parent not in self.cpu_ticks:
                return
            # A forked process takes its final command line a moment after it starts.
            if pid not in self.tabs and is_tab(pid):
                self.tabs.add(pid)
            self.cpu_ticks[pid] = int(fields[11]) + int(fields[12])
            with open(f"/proc/{pid}/status") as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        self.peak_kib[pid] = max(self.peak_kib.get(pid, 0), int(line.split()[1]))
        except (OSError, ValueError, IndexError):
            pass

    def cpu_seconds(self):
        self.sample()
        return sum(self.cpu_ticks.values()) / self.TICK

    def tab_peak_mib(self):
        self.sample()
        return max((self.peak_kib.get(pid, 0) for pid in self.tabs), default=0) / 1024

    def stop(self):
        self.stopped.set()
        self.thread.join()


def is_tab(pid):
    """Chromium's renderers and Firefox's content processes."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            arguments = cmdline.read().replace(b"\0", b" ").strip()
    except OSError:
        return False
    # Chromium rewrites its renderers' command line as one string.
    return b" --type=renderer " in arguments or b" -isForBrowser " in arguments


def measure_once(browser_name, report, rows):
    """One load and its use in a fresh profile: a dict of figures, or None on a failure."""
    with tempfile.TemporaryDirectory(prefix="vaskerel-load-") as scratch:
        profile = os.path.join(scratch, "profile")
        os.mkdir(profile)
        browser = BROWSERS[browser_name](profile)
        process = subprocess.Popen(browser.command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        tree = ProcessTree(process.pid)
        try:
            browser.connect()
            url = "file://" + report
            cpu_before = tree.cpu_seconds()
            browser.navigate(url)
            loaded = wait_for(lambda: browser.evaluate(LOADED % json.dumps(url)), LOAD_TIMEOUT_SECONDS, "load")
            figures = {"cpu": tree.cpu_seconds() - cpu_before, "load": loaded["load"],
                       "first paint": loaded["firstPaint"], "MiB": tree.tab_peak_mib()}
            if loaded["rows"] != rows:
                raise RuntimeError(f"{loaded['rows']} rows loaded of {rows}")
            needle = json.dumps(file_name(max(rows - 10, 0)))
            for action in ("end", "home", "find"):
                timed = browser.evaluate(TIMED_ACTION % (ACTIONS[action] % needle if "%s" in ACTIONS[action]
                                                          else ACTIONS[action]))
                figures[action] = timed["seconds"] if timed["result"] else None
                if not timed["result"]:
                    print(f"  {browser_name} {report}: {action} did not happen", file=sys.stderr)
            figures["MiB after"] = tree.tab_peak_mib()
            return figures
        except (RuntimeError, OSError, KeyError, ValueError) as error:
            print(f"  {browser_name} {report}: {error}", file=sys.stderr)
            return None
        finally:
            tree.stop()
            os.killpg(process.pid, 9)
            process.wait()


def install_missing(browsers):
    packages = []
    if "firefox" in browsers and shutil.which("firefox-esr") is None:
        packages.append("firefox-esr")
    try:
        import websocket  # noqa: F401
    except ImportError:
        packages.append("python3-websocket")
    if packages:
        root = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(root + ["apt-get", "install", "-y", "-qq", "--no-install-recommends", *packages], check=True)


COLUMNS = [("load CPU s", "cpu", "{:,.1f}"), ("load s", "load", "{:,.1f}"), ("first paint s", "first paint", "{:.2f}"),
           ("tab MiB", "MiB", "{:,.0f}"), ("End s", "end", "{:.2f}"), ("Home s", "home", "{:.2f}"),
           ("find s", "find", "{:.2f}"), ("tab MiB after", "MiB after", "{:,.0f}")]


def print_table(results, row_counts, styles, browsers, runs):
    names = {"chromium": "Chromium", "firefox": "Firefox"}
    print("| browser | rows | stylesheet | " + " | ".join(title for title, _, _ in COLUMNS) + " | runs |")
    print("|---|---|---|" + "---|" * (len(COLUMNS) + 1))
    for browser in browsers:
        for rows in row_counts:
            for style in styles:
                done = [run for run in results.get((rows, style, browser), []) if run is not None]
                cells = []
                for _, key, form in COLUMNS:
                    values = [run[key] for run in done if run[key] is not None]
                    cells.append(form.format(statistics.median(values)) if values else "-")
                print(f"| {names[browser]} | {rows:,} | {style} | " + " | ".join(cells) + f" | {len(done)} of {runs} |")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--rows", default="10000,300000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--browsers", default="chromium,firefox")
    parser.add_argument("--styles", default="none,shipped")
    parser.add_argument("--stylesheet")
    parser.add_argument("--work", default="/tmp/vaskerel-report-load")
    options = parser.parse_args()

    vaskerel = os.path.abspath(os.path.join(options.build, "app", "vaskerel"))
    if not os.access(vaskerel, os.X_OK):
        sys.exit(f"report_load.py: no {vaskerel}; build it first (cmake --workflow --preset app)")
    browsers = options.browsers.split(",")
    styles = options.styles.split(",")
    install_missing(browsers)
    row_counts = [int(rows) for rows in options.rows.split(",")]
    os.makedirs(options.work, exist_ok=True)
    stylesheet = os.path.abspath(options.stylesheet) if options.stylesheet else None
    reports = {rows: make_reports(vaskerel, os.path.abspath(options.work), rows, stylesheet) for rows in row_counts}

    results = {}
    for round_number in range(options.runs):
        for rows in row_counts:
            for style in styles:
                for browser in browsers:
                    started = time.monotonic()
                    result = measure_once(browser, reports[rows][style], rows)
                    results.setdefault((rows, style, browser), []).append(result)
                    shown = {key: round(value, 2) for key, value in result.items() if value is not None} if result else None
                    print(f"round {round_number + 1}: {rows} {style} {browser}: {shown} "
                          f"({time.monotonic() - started:.0f} s, load average {os.getloadavg()[0]:.1f})",
                          file=sys.stderr)
    print_table(results, row_counts, styles, browsers, options.runs)


if __name__ == "__main__":
    main()
