#!/usr/bin/env python3
"""Runs a command with some system calls refused through a seccomp filter, as containers and
hardened systems refuse them: refuse_calls.py CALL=ERRNO... -- COMMAND [ARGUMENT]...
(CALL a name from CALLS below, ERRNO a name such as ENOSYS or EPERM)."""
import ctypes
import errno
import os
import struct
import sys

CALLS = {"io_uring_setup": 425, "io_uring_enter": 426, "io_uring_register": 427}
AUDIT_ARCH_X86_64 = 0xC000003E
PR_SET_NO_NEW_PRIVS = 38
SYS_SECCOMP = 317
SECCOMP_SET_MODE_FILTER = 1
SECCOMP_RET_ALLOW = 0x7FFF0000
SECCOMP_RET_ERRNO = 0x00050000
LD_W_ABS, JEQ_K, RET_K = 0x20, 0x15, 0x06


def refuse(refusals):
    program = [(LD_W_ABS, 0, 0, 4), (JEQ_K, 1, 0, AUDIT_ARCH_X86_64), (RET_K, 0, 0, SECCOMP_RET_ALLOW),
               (LD_W_ABS, 0, 0, 0)]
    for call, error in refusals:
        program += [(JEQ_K, 0, 1, call), (RET_K, 0, 0, SECCOMP_RET_ERRNO | error)]
    program.append((RET_K, 0, 0, SECCOMP_RET_ALLOW))
    code = b"".join(struct.pack("HBBI", *instruction) for instruction in program)
    buffer = ctypes.create_string_buffer(code)
    fprog = struct.pack("HxxxxxxQ", len(program), ctypes.addressof(buffer))
    libc = ctypes.CDLL(None, use_errno=True)
    libc.syscall.restype = ctypes.c_long
    fprog_buffer = ctypes.create_string_buffer(fprog)
    if libc.prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 or \
            libc.syscall(SYS_SECCOMP, SECCOMP_SET_MODE_FILTER, 0, fprog_buffer) != 0:
        sys.exit("refuse_calls: cannot install the filter: " + os.strerror(ctypes.get_errno()))


def main():
    split = sys.argv.index("--")
    refusals = []
    for spec in sys.argv[1:split]:
        call, error = spec.split("=")
        refusals.append((CALLS[call], getattr(errno, error)))
    refuse(refusals)
    os.execvp(sys.argv[split + 1], sys.argv[split + 1:])


if __name__ == "__main__":
    main()
