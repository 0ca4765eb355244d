#!/usr/bin/env python3
"""Times vaskerel at its defaults against its peers on the benchmark trees, warm and cold,
running the tools in turn within every round, and prints medians, ratios and peak RSS."""
import os
import statistics
import subprocess
import sys
import tempfile


def run(command, cwd=None):
    """Runs a command; returns (seconds, user + system seconds, peak RSS in KiB)."""
    if cwd is not None:
        command = ["env", "-C", cwd] + command
    # GNU time starts the command from its own small process: a child of this interpreter
    # would count the interpreter's memory, which it has until exec, as its own peak.
    with tempfile.NamedTemporaryFile("r") as measured:
        result = subprocess.run(["/usr/bin/time", "-o", measured.name, "-f", "%e %U %S %M"] + command,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if result.returncode != 0:
            sys.exit(f"failed: {' '.join(command)}")
        elapsed, user, system, peak = measured.read().split()[-4:]
    return float(elapsed), float(user) + float(system), int(peak)


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as control:
        control.write("3\n")


def warm(tree):
    subprocess.run(f"find '{tree}' -type f -print0 | xargs -0 cat > /dev/null", shell=True, check=True)


def main():
    vaskerel, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    cores = os.cpu_count()
    report = os.path.join(work, "report.htm")
    tools = {
        "vaskerel": lambda tree: ([vaskerel, "--input", tree, "--output", report, "--quiet"], None),
        "hashdeep": lambda tree: (["hashdeep", "-r", "-c", "md5", tree], None),
        "rhash": lambda tree: (["rhash", "-r", "--md5", tree], None),
        "md5sum": lambda tree: (["sh", "-c", f"find . -type f -print0 | xargs -0 -P{cores} md5sum"], tree),
    }
    modes = ["warm"] + (["cold"] if os.geteuid() == 0 else [])
    results = {}
    for tree in ["large", "small"]:
        path = os.path.join(work, tree)
        for mode in modes:
            samples = {tool: [] for tool in tools}
            for _ in range(runs):
                for tool, make in tools.items():
                    command, cwd = make(path)
                    if mode == "cold":
                        drop_caches()
                    else:
                        warm(path)
                    samples[tool].append(run(command, cwd))
            results[tree, mode] = samples
    files = {tree: sum(len(names) for _, _, names in os.walk(os.path.join(work, tree))) for tree in ["large", "small"]}
    small4k = [run(tools["vaskerel"](os.path.join(work, "small4k"))[0]) for _ in range(runs)]

    print(f"\nmachine: {os.uname().sysname} {os.uname().release}, {cores} cores, "
          + open("/proc/cpuinfo").read().split("model name")[1].split(":")[1].split("\n")[0].strip())
    print(f"medians of {runs} runs, tools taking turns in every round; vaskerel at its defaults\n")
    print("| tree | cache | tool | seconds | CPU s | peak RSS MiB | vaskerel / tool |")
    print("|---|---|---|---|---|---|---|")
    for (tree, mode), samples in results.items():
        ours = statistics.median(s[0] for s in samples["vaskerel"])
        peers = {tool: statistics.median(s[0] for s in samples[tool]) for tool in tools}
        for tool in tools:
            seconds = peers[tool]
            cpu = statistics.median(s[1] for s in samples[tool])
            rss = max(s[2] for s in samples[tool]) / 1024
            print(f"| {tree} | {mode} | {tool} | {seconds:.2f} | {cpu:.2f} | {rss:.1f} | {ours / seconds:.2f} |")
        fastest = min(seconds for tool, seconds in peers.items() if tool != "vaskerel")
        print(f"| {tree} | {mode} | vaskerel / fastest peer | | | | {ours / fastest:.2f} |")
    cpu_small = statistics.median(s[1] for s in results["small", "warm"]["vaskerel"])
    print(f"\nvaskerel CPU time per file, warm small tree: {cpu_small / files['small'] * 1e6:.1f} µs")
    rss4k = max(s[2] for s in small4k) / 1024
    rss40k = max(s[2] for s in results["small", "warm"]["vaskerel"]) / 1024
    print(f"vaskerel peak RSS: 4,000 files {rss4k:.1f} MiB, 40,000 files {rss40k:.1f} MiB "
          f"(ratio {rss40k / rss4k:.2f})")


if __name__ == "__main__":
    main()
