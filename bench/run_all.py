#!/usr/bin/python3
"""Runs every benchmark in its own process and prints one Markdown table:
median real and CPU time over the repetitions, and the process's peak
resident memory (inputs generated at start included).

Usage: bench/run_all.py [BUILD_DIR] [--repetitions N] [--filter REGEX]
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

BENCHES = ["picture/picture_bench", "picture_viewer/picture_viewer_bench",
           "text_window/text_window_bench", "text_window/text_find_bench",
           "main_window/main_window_bench",
           "metafile/metafile_bench", "startup/startup_bench"]


def run(exe, name, repetitions):
    """One benchmark in a fresh process: its JSON report and peak RSS (KiB)."""
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen(
            [exe, f"--benchmark_filter=^{re.escape(name)}$",
             f"--benchmark_repetitions={repetitions}",
             "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
            stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        text = out.read().decode()
    if proc.returncode != 0:
        raise RuntimeError(f"{exe} {name} ended with {proc.returncode}")
    return json.loads(text), usage.ru_maxrss


def fmt(value, unit):
    return f"{value:.3g} {unit}" if value < 100 else f"{value:.0f} {unit}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--filter", default="")
    args = parser.parse_args()
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

    print("| benchmark | median real | median CPU | peak RSS | counters |")
    print("|---|---|---|---|---|")
    for bench in BENCHES:
        exe = os.path.join(args.build, "bench", bench)
        names = subprocess.run([exe, "--benchmark_list_tests=true"], check=True,
                               capture_output=True, text=True).stdout.split()
        for name in names:
            if args.filter and not re.search(args.filter, name):
                continue
            report, peak_kib = run(exe, name, args.repetitions)
            rows = [b for b in report["benchmarks"]
                    if b.get("aggregate_name", "median") == "median"]
            if not rows:
                continue
            row = rows[0]
            unit = row["time_unit"]
            skip = {"name", "run_name", "run_type", "repetitions", "repetition_index",
                    "threads", "iterations", "real_time", "cpu_time", "time_unit",
                    "aggregate_name", "aggregate_unit", "family_index",
                    "per_family_instance_index"}
            counters = ", ".join(f"{k} {v:.3g}" for k, v in row.items()
                                 if k not in skip and isinstance(v, (int, float)))
            print(f"| `{os.path.basename(exe)}` {name} | {fmt(row['real_time'], unit)} "
                  f"| {fmt(row['cpu_time'], unit)} | {peak_kib / 1024:.0f} MiB | {counters} |",
                  flush=True)


if __name__ == "__main__":
    sys.exit(main())
