#!/usr/bin/env python3
"""Makes the benchmark trees, each from a fixed seed so that every run reads the same bytes:
  large N MIB          N files of MIB MiB
  small N FOLDERS      N files of 0-8 KiB in FOLDERS folders
  heavy N              N files whose sizes are drawn log-normally (median 20 KiB, up to
                       200 MiB) in folders of up to 100, as real trees are: a few files hold
                       most of the bytes
  mixed N MIB SMALL    N files of MIB MiB among SMALL files of 0-64 KiB
  files MIB...         one file of each size, in MiB (fractions allowed): large files alone
  photos N             N files of 2-8 MB (log-uniform) in folders of 100, as a photo library
  videos N             N files of 50-700 MB (log-uniform), each with a subtitle file and a
                       thumbnail, as a video folder
  pareto N             N files with Pareto sizes (shape 0.8, from 4 KiB, up to 512 MiB): with
                       3,000 files the two largest hold 82 % of the bytes
"""
import math
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


def files_tree(root, sizes_mib):
    os.makedirs(root, exist_ok=True)
    generator = random.Random(2)
    pool = os.urandom(4 * CHUNK)
    for i, mib in enumerate(sizes_mib):
        write_random(os.path.join(root, f"file{i}.bin"), int(mib * CHUNK), pool, generator)


def photos_tree(root, count):
    generator = random.Random(800)
    pool = os.urandom(16 * CHUNK)
    for f in range(count):
        folder = os.path.join(root, f"{2020 + f // 100}")
        os.makedirs(folder, exist_ok=True)
        size = int(math.exp(generator.uniform(math.log(2e6), math.log(8e6))))
        write_random(os.path.join(folder, f"IMG_{f:04d}.jpg"), size, pool, generator)


def videos_tree(root, count):
    os.makedirs(root, exist_ok=True)
    generator = random.Random(24)
    pool = os.urandom(16 * CHUNK)
    for f in range(count):
        size = int(math.exp(generator.uniform(math.log(50e6), math.log(700e6))))
        write_random(os.path.join(root, f"clip{f:02d}.mp4"), size, pool, generator)
        write_random(os.path.join(root, f"clip{f:02d}.srt"), generator.randint(20_000, 80_000), pool, generator)
        write_random(os.path.join(root, f"clip{f:02d}.jpg"), generator.randint(100_000, 300_000), pool, generator)


def pareto_tree(root, files):
    sizes = random.Random(3017)
    generator = random.Random(1)
    pool = os.urandom(16 * CHUNK)
    for f in range(files):
        size = min(int(4096 / sizes.random() ** (1 / 0.8)), 512 * CHUNK)
        folder = os.path.join(root, f"d{f // 100:02d}")
        os.makedirs(folder, exist_ok=True)
        write_random(os.path.join(folder, f"file{f:04d}"), size, pool, generator)


if __name__ == "__main__":
    kind, root = sys.argv[1], sys.argv[2]
    numbers = [float(value) for value in sys.argv[3:]]
    counts = [int(value) for value in numbers]
    if kind == "files":
        files_tree(root, numbers)
    elif kind == "photos":
        photos_tree(root, counts[0])
    elif kind == "videos":
        videos_tree(root, counts[0])
    elif kind == "pareto":
        pareto_tree(root, counts[0])
    elif kind == "large":
        large_tree(root, counts[0], counts[1] * CHUNK)
    elif kind == "small":
        small_tree(root, counts[0], counts[1], 8192)
    elif kind == "heavy":
        heavy_tree(root, counts[0])
    elif kind == "mixed":
        mixed_tree(root, counts[0], counts[1] * CHUNK, counts[2])
    else:
        sys.exit(f"unknown tree kind {kind}")
