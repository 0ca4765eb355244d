#!/usr/bin/env python3
"""Times vaskerel at its defaults against its peers on the benchmark trees, warm and cold,
running the tools in turn within every round, and prints medians, ratios, peak RSS and each
tree's floor: the time below which no tool can go on this machine, measured in the same run.

Warm floor: the larger of the tree's largest file at the fastest one-stream MD5 rate, and the
CPU time of copying the tree out of the page cache (`xargs -0 -P<cores> cat > /dev/null`) plus
its bytes at the best rate of one core's MD5 lanes, spread over the cores. The two MD5 rates are
what vaskerel measured of its kernels (its rate cache) or, for one stream, OpenSSL on one core,
whichever is faster. Cold floor: `xargs -0 -P8 -n20 cat > /dev/null` after dropping the caches.

Every peer gets exactly the entries vaskerel lists (regular files and links to them, as
`find -xtype f` gives them, walked by find within each timed run as vaskerel walks the tree
itself), so a system folder with links compares like for like.

Usage: compare.py VASKEREL WORK RUNS [TREE=PATH ...]"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(command, cwd=None):
    """Runs a command; returns (seconds, user + system seconds, peak RSS in KiB)."""
    if cwd is not None:
        command = ["env", "-C", cwd] + command
    if isinstance(command, str):
        command = ["sh", "-c", command]
    # GNU time starts the command from its own small process: a child of this interpreter
    # would count the interpreter's memory, which it has until exec, as its own peak.
    with tempfile.NamedTemporaryFile("r") as measured:
        result = subprocess.run(["/usr/bin/time", "-o", measured.name, "-f", "%e %U %S %M"] + command,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if result.returncode not in (0, 3):
            sys.exit(f"failed: {' '.join(command)}")
        elapsed, user, system, peak = measured.read().split()[-4:]
    return float(elapsed), float(user) + float(system), int(peak)


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as control:
        control.write("3\n")


def entries_of(tree, lists):
    """Writes the tree's entries as vaskerel lists them, NUL-separated, for warming the cache
    and the one-core run; returns the list file, the number of entries, their bytes and the
    largest."""
    names = subprocess.run(["find", tree, "-xtype", "f", "-print0"], check=True,
                           capture_output=True).stdout.split(b"\0")[:-1]
    names = [name for name in names if os.access(name, os.R_OK)]
    base = os.path.join(lists, os.path.basename(tree.rstrip("/")))
    with open(base + ".list0", "wb") as out:
        out.write(b"".join(name + b"\0" for name in names))
    sizes = [os.stat(name).st_size for name in names]
    return base + ".list0", len(names), sum(sizes), max(sizes, default=0)


def warm(list0):
    subprocess.run(f"xargs -0 cat < '{list0}' > /dev/null", shell=True, check=True)


def kernel_rates(cache):
    """From vaskerel's rate cache: the fastest lane of any kernel, and the best rate of one
    core with every lane of a kernel busy, in bytes per second."""
    with open(os.path.join(cache, "vaskerel", "md5-kernel-rates")) as rates:
        kernels = [line.split() for line in rates.read().splitlines()[1:]]
    return (max(float(rate) for _, _, rate in kernels),
            max(int(lanes) * float(rate) for _, lanes, rate in kernels))


def reader_shares(command, env):
    """Runs vaskerel, sampling its threads' CPU every few milliseconds; returns each reader
    thread's share of the readers' CPU, largest first."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ticks = {}
    while process.poll() is None:
        try:
            # The run itself is a child of the process started, which waits for it.
            with open(f"/proc/{process.pid}/task/{process.pid}/children") as children:
                pids = [process.pid] + [int(pid) for pid in children.read().split()]
            for pid, task in ((pid, task) for pid in pids for task in os.listdir(f"/proc/{pid}/task")):
                with open(f"/proc/{pid}/task/{task}/stat") as stat:
                    text = stat.read()
                name = text[text.index("(") + 1:text.rindex(")")]
                fields = text[text.rindex(")") + 2:].split()
                # The kernel's io workers carry their reader's name for a moment as they start.
                if name.startswith("reader"):
                    ticks[task] = int(fields[11]) + int(fields[12])
                else:
                    ticks.pop(task, None)
        except (FileNotFoundError, ProcessLookupError, ValueError):
            pass
        time.sleep(0.002)
    total = sum(ticks.values())
    return sorted((value / total for value in ticks.values()), reverse=True) if total else []


def main():
    vaskerel, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    trees = dict(argument.split("=", 1) for argument in sys.argv[4:])
    cores = os.cpu_count()
    report = os.path.join(work, "report.htm")
    lists = os.path.join(work, "lists")
    os.makedirs(lists, exist_ok=True)
    modes = ["warm"] + (["cold"] if os.geteuid() == 0 else [])

    info = {name: entries_of(path, lists) for name, path in trees.items()}
    cache = os.path.join(work, "cache")
    os.makedirs(cache, exist_ok=True)
    os.environ["XDG_CACHE_HOME"] = cache

    # The fastest one-stream rate: OpenSSL on one core, or vaskerel's fastest kernel lane.
    largest_file = max((os.path.join(trees["large"], name) for name in os.listdir(trees["large"])),
                       key=os.path.getsize)
    warm(info["large"][0])
    openssl = statistics.median(run(["taskset", "-c", "0", "openssl", "dgst", "-md5", largest_file])[0]
                                for _ in range(runs))
    run([vaskerel, "-i", trees["large"], "-o", report, "-q"])
    fastest_lane, core_rate = kernel_rates(cache)
    stream_rate = max(os.path.getsize(largest_file) / openssl, fastest_lane)
    small4k_tree = trees.pop("small4k", None)
    info.pop("small4k", None)

    def tools_for(name):
        list0 = info[name][0]
        per_md5sum = max(1, min(500, -(-info[name][1] // (4 * cores))))
        walk = f"find '{trees[name]}' -xtype f"
        # hashdeep and rhash read names line by line, so names with a line end are left to the others.
        lines = walk + " ! -name '*\n*'"
        tools = {
            "vaskerel": [vaskerel, "--input", trees[name], "--output", report, "--quiet"],
            "hashdeep": ["sh", "-c", f"{lines} | hashdeep -c md5 -f /dev/stdin"],
            "rhash": ["sh", "-c", f"{lines} | rhash --md5 --file-list=-"],
            # As many files per md5sum as keep every core busy: one each for a few large files.
            "md5sum": ["sh", "-c", f"{walk} -print0 | xargs -0 -P{cores} -n{per_md5sum} md5sum"],
        }
        if name == "heavy":
            sums = os.path.join(work, "sums")
            tools["vaskerel, MD5 manifest"] = tools["vaskerel"] + ["--checksums", sums + ".md5"]
            tools["vaskerel, MD5 and SHA-256 manifests"] = tools["vaskerel, MD5 manifest"] + ["--sha256", sums + ".sha256"]
            tools["sha256sum then md5sum"] = ["sh", "-c", f"{walk} -print0 | xargs -0 -P{cores} -n500 sha256sum && "
                                                          f"{walk} -print0 | xargs -0 -P{cores} -n500 md5sum"]
            # Checking a download: the manifests the runs above wrote, against the peers' own -c.
            for kind in ("md5", "sha256"):
                tools[f"vaskerel -c, {kind}"] = [vaskerel, "-c", f"{sums}.{kind}", "-i", trees[name], "-q"]
                tools[f"{kind}sum -c"] = ["sh", "-c", f"cd '{trees[name]}' && {kind}sum -c --quiet '{sums}.{kind}'"]
        if name == "large":
            tools["vaskerel, one core"] = ["taskset", "-c", "0"] + tools["vaskerel"]
            tools["openssl, one core"] = ["sh", "-c", f"xargs -0 taskset -c 0 openssl dgst -md5 < '{list0}'"]
        return tools

    # Besides the tools, each round copies the tree out of the page cache: warm, its CPU time
    # counts into the floor; cold, its time is the floor.
    copy = {"warm": "copy out of the page cache", "cold": "floor, cold"}
    results = {}
    shares = {}
    for name in trees:
        tools = tools_for(name)
        for mode in modes:
            readers = cores if mode == "warm" else 8
            batch = "" if mode == "warm" else "-n20 "
            tools_and_copy = dict(tools, **{copy[mode]: f"xargs -0 -P{readers} {batch}cat < '{info[name][0]}' > /dev/null"})
            samples = {tool: [] for tool in tools_and_copy}
            for _ in range(runs):
                for tool, command in tools_and_copy.items():
                    if mode == "cold":
                        drop_caches()
                    else:
                        warm(info[name][0])
                    samples[tool].append(run(command))
            results[name, mode] = samples
        if name == "two":
            warm(info[name][0])
            shares[name] = [reader_shares(tools["vaskerel"], os.environ) for _ in range(runs)]
    small4k = [run([vaskerel, "-i", small4k_tree, "-o", report, "-q"]) for _ in range(runs)] if small4k_tree else []

    print(f"\nmachine: {os.uname().sysname} {os.uname().release}, {cores} cores, "
          + open("/proc/cpuinfo").read().split("model name")[1].split(":")[1].split("\n")[0].strip())
    print(f"medians of {runs} runs, tools taking turns in every round; vaskerel at its defaults")
    print(f"fastest one-stream MD5: {stream_rate / 1e6:.0f} MB/s (OpenSSL on one core "
          f"{os.path.getsize(largest_file) / openssl / 1e6:.0f}, vaskerel's fastest kernel lane {fastest_lane / 1e6:.0f}); "
          f"best MD5 lanes of one core: {core_rate / 1e6:.0f} MB/s\n")
    print("| tree | files | MB | largest MB | cache | tool | seconds | CPU s | peak RSS MiB | vaskerel / tool |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for (name, mode), samples in results.items():
        _, count, total, largest = info[name]
        ours = statistics.median(s[0] for s in samples["vaskerel"])
        prefix = f"| {name} | {count} | {total / 1e6:.0f} | {largest / 1e6:.0f} | {mode} |"
        peers = {tool: statistics.median(s[0] for s in samples[tool]) for tool in samples}
        for tool, seconds in peers.items():
            cpu = statistics.median(s[1] for s in samples[tool])
            rss = max(s[2] for s in samples[tool]) / 1024
            mine = {"openssl, one core": peers.get("vaskerel, one core"),
                    "sha256sum then md5sum": peers.get("vaskerel, MD5 and SHA-256 manifests"),
                    "md5sum -c": peers.get("vaskerel -c, md5"),
                    "sha256sum -c": peers.get("vaskerel -c, sha256")}.get(tool, ours)
            print(f"{prefix} {tool} | {seconds:.2f} | {cpu:.2f} | {rss:.1f} | {mine / seconds:.2f} |")
        fastest = min(seconds for tool, seconds in peers.items() if tool in ("hashdeep", "rhash", "md5sum"))
        if "vaskerel, MD5 and SHA-256 manifests" in peers:
            both = peers["vaskerel, MD5 and SHA-256 manifests"]
            print(f"{prefix} both manifests / MD5 manifest alone | | | | {both / peers['vaskerel, MD5 manifest']:.2f} |")
            print(f"{prefix} both manifests / sha256sum then md5sum | | | | {both / peers['sha256sum then md5sum']:.2f} |")
        print(f"{prefix} vaskerel / fastest peer | | | | {ours / fastest:.2f} |")
        if mode == "warm":
            copy_cpu = statistics.median(s[1] for s in samples[copy["warm"]])
            floor = max(largest / stream_rate, (copy_cpu + total / core_rate) / cores)
            print(f"{prefix} floor, warm | {floor:.2f} | | | {ours / floor:.2f} |")
    for name, runs_shares in shares.items():
        text = "; ".join(" / ".join(f"{share:.0%}" for share in run_shares) for run_shares in runs_shares)
        print(f"\nreader threads' shares of the readers' CPU, {name} tree, warm, each run: {text}")
    if ("small", "warm") in results:
        cpu_small = statistics.median(s[1] for s in results["small", "warm"]["vaskerel"])
        print(f"\nvaskerel CPU time per file, warm small tree: {cpu_small / info['small'][1] * 1e6:.1f} µs")
        if small4k:
            rss4k = max(s[2] for s in small4k) / 1024
            rss40k = max(s[2] for s in results["small", "warm"]["vaskerel"]) / 1024
            print(f"vaskerel peak RSS: 4,000 files {rss4k:.1f} MiB, 40,000 files {rss40k:.1f} MiB "
                  f"(ratio {rss40k / rss4k:.2f})")


if __name__ == "__main__":
    main()
