#!/usr/bin/env python3
"""Register reads on the emulated device: Python module, C++ library, command-line tool.

    PYTHONPATH=build/python bench/register_read_bench.py [--build build] [--quick]

Reads register 0x54 10,000 times from Python and from C++ (register_read_bench), the fastest
of five rounds each, calls
`brimlo-hid reg read 54` 100 times, and prints the time per read of each. The leak check
over 10,000 calls is a test of its own (tests/python/test_device.py).
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

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
    print(f"{reads} register reads, time per read:")
    print(f"  C++ library    {cpp:10.2f} us")
    print(f"  Python module  {py:10.2f} us  ({py / cpp:.2f}x the C++ library)")
    print(f"  CLI, {cli_calls} calls {per_cli:10.2f} us  ({per_cli / py:.0f}x the Python module)")
    return 0 if py <= 1.5 * cpp or args.quick else 1


if __name__ == "__main__":
    sys.exit(main())
