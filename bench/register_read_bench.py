#!/usr/bin/env python3
"""Register reads on the emulated device: Python module, C++ library, command-line tool.

    PYTHONPATH=build/python bench/register_read_bench.py [--build build] [--quick]

Reads register 0x54 10,000 times from Python and from C++ (register_read_bench), the fastest
of five rounds each, calls
`brimlo-hid reg read 54` 100 times, and prints the time per read of each; then checks the
interpreter for leaks over 10,000 calls (traced Python memory and peak RSS, before and after).
"""
import argparse
import gc
import os
import resource
import subprocess
import sys
import tempfile
import time
import tracemalloc

import brimlo_hid


def python_per_read(state, count):
    with brimlo_hid.open(simulate=True, sim_state=state) as dev:
        for _ in range(100):
            dev.reg_read(0x54)
        rounds = []
        for _ in range(5):  # the fastest round, as timeit takes it; the others met other work
            start = time.perf_counter()
            for _ in range(count):
                dev.reg_read(0x54)
            rounds.append(time.perf_counter() - start)
        return min(rounds) / count * 1e6


def leak_check(state, count):
    with brimlo_hid.open(simulate=True, sim_state=state) as dev:
        def calls(n):
            for i in range(n):
                dev.reg_read(0x54)
                dev.reg_write(0x03FF0000, i)
                dev.hdmi()
                dev.fw_version()
        calls(1000)
        gc.collect()
        tracemalloc.start()
        rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        before = tracemalloc.get_traced_memory()[0]
        calls(count)
        gc.collect()
        grown = tracemalloc.get_traced_memory()[0] - before
        tracemalloc.stop()
        return grown, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - rss


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="the build tree (default build)")
    parser.add_argument("--quick", action="store_true", help="1,000 reads and 5 CLI calls")
    args = parser.parse_args()
    reads, cli_calls = (1000, 5) if args.quick else (10000, 100)
    with tempfile.TemporaryDirectory() as state:
        py = python_per_read(state, reads)
        cpp = float(subprocess.run(
            [os.path.join(args.build, "bench", "register_read_bench"), state, str(reads)],
            check=True, capture_output=True, text=True).stdout)
        cli = [os.path.join(args.build, "cli", "brimlo-hid"), "--simulate", "--sim-state", state,
               "reg", "read", "54"]
        start = time.perf_counter()
        for _ in range(cli_calls):
            subprocess.run(cli, check=True, capture_output=True)
        per_cli = (time.perf_counter() - start) / cli_calls * 1e6
        grown, rss = leak_check(state, reads)
    print(f"{reads} register reads, time per read:")
    print(f"  C++ library    {cpp:10.2f} us")
    print(f"  Python module  {py:10.2f} us  ({py / cpp:.2f}x the C++ library)")
    print(f"  CLI, {cli_calls} calls {per_cli:10.2f} us  ({per_cli / py:.0f}x the Python module)")
    print(f"{reads} x 4 calls: traced Python memory {grown:+d} bytes, peak RSS {rss:+d} KiB")
    return 0 if py <= 1.5 * cpp or args.quick else 1


if __name__ == "__main__":
    sys.exit(main())
