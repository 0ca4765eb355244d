#!/usr/bin/env python3
"""Makes the benchmark trees, each from a fixed seed so that every run reads the same bytes:
  large N MIB          N files of MIB MiB
  small N FOLDERS      N files of 0-8 KiB in FOLDERS folders
  heavy N              N files whose sizes are drawn log-normally (median 20 KiB, up to
                       200 MiB) in folders of up to 100, as real trees are: a few files hold
                       most of the bytes
  mixed N MIB SMALL    N files of MIB MiB among SMALL files of 0-64 KiB
"""
import os
import random
import sys

CHUNK = 1 << 20


def write_random(path, size, pool, generator):
    """Writes `size` bytes cut from a random pool at random places: cheap, and no two files alike."""
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    with open(path, "wb") as out:
        left = size
        while left > 0:
            piece = min(left, CHUNK)
            start = generator.randint(0, len(pool) - piece)
            out.write(pool[start:start + piece])
            left -= piece


def large_tree(root, count, size):
    os.makedirs(root, exist_ok=True)
    for i in range(count):
        path = os.path.join(root, f"large{i}.bin")
        if os.path.exists(path) and os.path.getsize(path) == size:
            continue
        with open(path, "wb") as out:
            for _ in range(size // CHUNK):
                out.write(os.urandom(CHUNK))


def small_tree(root, files, folders, max_size):
    if os.path.isdir(root) and sum(len(f) for _, _, f in os.walk(root)) == files:
        return
    generator = random.Random(1321)
    pool = os.urandom(max_size + 4096)
    for f in range(files):
        folder = os.path.join(root, f"d{f % folders:04d}")
        os.makedirs(folder, exist_ok=True)
        size = generator.randint(0, max_size)
        start = generator.randint(0, 4096)
        with open(os.path.join(folder, f"file{f:06d}.dat"), "wb") as out:
            out.write(pool[start:start + size])


def heavy_tree(root, files):
    generator = random.Random(20261207)
    pool = os.urandom(4 * CHUNK)
    for f in range(files):
        size = min(int(generator.lognormvariate(0, 2.3) * 20 * 1024), 200 * CHUNK)
        folder = os.path.join(root, f"g{f // 2000:02d}", f"d{f // 100:03d}")
        os.makedirs(folder, exist_ok=True)
        write_random(os.path.join(folder, f"file{f:05d}"), size, pool, generator)


def mixed_tree(root, count, size, small):
    large_tree(os.path.join(root, "large"), count, size)
    generator = random.Random(4096)
    pool = os.urandom(CHUNK)
    for f in range(small):
        folder = os.path.join(root, f"s{f % 20:02d}")
        os.makedirs(folder, exist_ok=True)
        write_random(os.path.join(folder, f"small{f:05d}"), generator.randint(0, 64 * 1024), pool, generator)


if __name__ == "__main__":
    kind, root = sys.argv[1], sys.argv[2]
    numbers = [int(value) for value in sys.argv[3:]]
    if kind == "large":
        large_tree(root, numbers[0], numbers[1] * CHUNK)
    elif kind == "small":
        small_tree(root, numbers[0], numbers[1], 8192)
    elif kind == "heavy":
        heavy_tree(root, numbers[0])
    elif kind == "mixed":
        mixed_tree(root, numbers[0], numbers[1] * CHUNK, numbers[2])
    else:
        sys.exit(f"unknown tree kind {kind}")
