#!/usr/bin/env python3
"""Makes the two benchmark trees: a few large files, and many small files in many folders."""
import os
import random
import sys


def large_tree(root, count, size):
    os.makedirs(root, exist_ok=True)
    chunk = 1 << 20
    for i in range(count):
        path = os.path.join(root, f"large{i}.bin")
        if os.path.exists(path) and os.path.getsize(path) == size:
            continue
        with open(path, "wb") as out:
            for _ in range(size // chunk):
                out.write(os.urandom(chunk))


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


if __name__ == "__main__":
    kind, root = sys.argv[1], sys.argv[2]
    if kind == "large":
        large_tree(root, int(sys.argv[3]), int(sys.argv[4]) << 20)
    else:
        small_tree(root, int(sys.argv[3]), int(sys.argv[4]), 8192)
