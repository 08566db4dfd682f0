#!/usr/bin/env python3
"""Prints the benchmark table from the Google Benchmark JSON files in one folder (bench/run.sh makes them).

Each benchmark program fills one section; a program or figure that is missing shows as n/a:
  bench_fft         ns per transform, ours and FFTW's (a name containing "fftw" is FFTW's)
  bench_spectral    ns per 256-sample spectral block
  bench_stages      ns per sample per time-domain stage
  bench_whole_path  real-time factor of the whole path per program, block size and rate (counter realtime_factor)
"""
import json
import os
import re
import sys

NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(folder, program):
    path = os.path.join(folder, program + ".json")
    if not os.path.exists(path):
        return None, []
    with open(path) as handle:
        data = json.load(handle)
    rows = [b for b in data.get("benchmarks", []) if b.get("run_type", "iteration") == "iteration"
            and not b.get("error_occurred")]
    return data.get("context", {}), rows


def ns_per_iteration(bench):
    return bench["cpu_time"] * NS_PER_UNIT.get(bench.get("time_unit", "ns"), 1.0)


def ns_per_sample(bench):
    """From items_per_second when the benchmark counts samples, else the trailing /N argument of its name."""
    if bench.get("items_per_second"):
        return 1e9 / bench["items_per_second"]
    match = re.search(r"/(\d+)$", bench["name"])
    if match and int(match.group(1)) > 0:
        return ns_per_iteration(bench) / int(match.group(1))
    return None


def cpu_model():
    try:
        with open("/proc/cpuinfo") as handle:
            for line in handle:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown processor"


def short(name):
    return re.sub(r"^BM_", "", name)


def number(value, digits=1):
    return "n/a" if value is None else f"{value:,.{digits}f}"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build-bench/bench-results"
    lines = []
    context = None

    def section(title, header):
        lines.append("")
        lines.append(f"{title}")
        lines.append(f"  {'benchmark':<44} {header:>14}")

    context_fft, fft = load(folder, "bench_fft")
    context = context or context_fft
    section("Real FFT, 2048 points", "ns/transform")
    ours = [b for b in fft if "fftw" not in b["name"].lower() and "copy" not in b["name"].lower()]
    theirs = [b for b in fft if "fftw" in b["name"].lower()]
    baseline = [b for b in fft if "copy" in b["name"].lower()]
    for label, group in (("ours", ours), ("FFTW", theirs), ("baseline", baseline)):
        if not group and label == "baseline":
            continue
        if not group:
            lines.append(f"  {label:<44} {'n/a':>14}")
        for bench in group:
            lines.append(f"  {short(bench['name']) + ' (' + label + ')':<44} {number(ns_per_iteration(bench)):>14}")

    context_spectral, spectral = load(folder, "bench_spectral")
    context = context or context_spectral
    section("Spectral block processor, one 256-sample block", "ns/block")
    if not [b for b in spectral if "realtime_factor" not in b]:
        lines.append(f"  {'spectral block':<44} {'n/a':>14}")
    for bench in spectral:
        if "realtime_factor" in bench:
            continue  # a whole-path figure; the whole-path section has those
        lines.append(f"  {short(bench['name']):<44} {number(ns_per_iteration(bench)):>14}")

    context_stages, stages = load(folder, "bench_stages")
    context = context or context_stages
    section("Time-domain stages", "ns/sample")
    if not stages:
        lines.append(f"  {'time-domain stages':<44} {'n/a':>14}")
    for bench in stages:
        lines.append(f"  {short(bench['name']):<44} {number(ns_per_sample(bench), 2):>14}")

    context_whole, whole = load(folder, "bench_whole_path")
    context = context or context_whole
    section("Whole path, one core", "x real time")
    wanted = (("default program (0)", "default_program"), ("program 72 (everything on)", "program_72"),
              ("neutral program (73)", "neutral_program"), ("default program, LV2 edition", "lv2_default_program"))
    settings = (("44.1 kHz, 512-sample blocks", "512", "44100"), ("44.1 kHz, 64-sample blocks", "64", "44100"),
                ("44.1 kHz, 32-sample blocks", "32", "44100"), ("96 kHz, 512-sample blocks", "512", "96000"))

    def factor(key, block, rate):
        found = [b for b in whole if re.search(rf"/{key}/{block}/{rate}(/|$)", b["name"])]
        return found[0].get("realtime_factor") if found else None

    for title, block, rate in settings:
        lines.append(f"  {title}")
        for label, key in wanted:
            value = factor(key, block, rate)
            reference = factor(key, "512", rate)
            # Small blocks: cost per sample relative to 512-sample blocks.
            note = ""
            if block != "512" and value and reference:
                note = f"   ({reference / value:.2f}x the cost per sample)"
            lines.append(f"    {label:<42} {number(value, 0):>14}{note}")

    if context:
        print(f"Lumeric benchmarks: {cpu_model()} at {context.get('mhz_per_cpu', '?')} MHz, "
              f"{context.get('num_cpus', '?')} CPUs, "
              f"{context.get('date', '')[:10]}")
    else:
        print("Lumeric benchmarks (no results found in " + folder + ")")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
