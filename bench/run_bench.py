#!/usr/bin/env python3
"""Whole-file benchmark: libQuillar against libavformat and the copy limit.

Generates large inputs with the project's own writers (outside the
repository), then runs three readers over each file in interleaved rounds,
each in its own process:
  quillar  the library through its four host calls
  lavf     libavformat's av_read_frame loop (the peer)
  copy     fread in 8192-byte blocks + one memcpy into a host buffer
Every reader touches every byte it gets with the same cheap checksum. The
script checks item and byte counts against what the generator wrote, and
the checksums of library and peer against each other, so a fast wrong answer
fails. It prints medians of MiB/s, the ratios, and each reader's peak RSS.

  bench/run_bench.py --build build/default --inputs /tmp/quillar-bench
  bench/run_bench.py --build build/default --smoke           (CI: tiny files)
  bench/run_bench.py --build build/default --callgrind       (instruction counts)
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile


def parse(text):
    fields = {}
    for part in text.split():
        if "=" in part:
            k, v = part.split("=", 1)
            fields[k] = v
    return fields


def run_with_rusage(argv):
    """Runs one reader; returns (its report fields, its peak RSS in KiB, exit code).

    Each reader reports its own peak RSS (VmHWM), which, unlike getrusage's
    ru_maxrss, does not carry over this script's memory through fork+exec."""
    proc = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    fields = parse(proc.stdout.decode())
    return fields, int(fields.get("rss_kib", 0)), proc.returncode


def generate(build, inputs, size_mib):
    os.makedirs(inputs, exist_ok=True)
    manifest = os.path.join(inputs, f"manifest-{size_mib}.txt")
    if not os.path.exists(manifest):
        out = subprocess.run([os.path.join(build, "bench", "make_inputs"), inputs, str(size_mib)],
                             check=True, stdout=subprocess.PIPE).stdout.decode()
        with open(manifest, "w") as f:
            f.write(out)
    entries = []
    with open(manifest) as f:
        for line in f:
            name, standard, lavf_mode, items, nbytes = line.split()[:5]
            entries.append(dict(name=name, path=os.path.join(inputs, name), standard=standard,
                                lavf_mode=lavf_mode, items=int(items), bytes=int(nbytes)))
    return entries


def readers(build, entry, capacity):
    bench = os.path.join(build, "bench")
    lavf = [os.path.join(bench, "lavf_reader"), entry["path"]]
    if entry["lavf_mode"] == "video":
        lavf.append("video")
    return {
        "quillar": [os.path.join(bench, "quillar_reader"), entry["path"], entry["standard"], str(capacity)],
        "lavf": lavf,
        "copy": [os.path.join(bench, "copy_reader"), entry["path"]],
    }


def check(entry, name, fields, code):
    problems = []
    if code != 0:
        problems.append(f"{name} exited with {code}")
    if name == "quillar" or (name == "lavf" and entry["lavf_mode"] != "skip"):
        if int(fields.get("items", -1)) != entry["items"]:
            problems.append(f"{name} gave {fields.get('items')} items, expected {entry['items']}")
        if int(fields.get("bytes", -1)) != entry["bytes"]:
            problems.append(f"{name} gave {fields.get('bytes')} bytes, expected {entry['bytes']}")
    if name == "copy" and int(fields.get("bytes", -1)) != os.path.getsize(entry["path"]):
        problems.append("copy reader did not read the whole file")
    return problems


def whole_file(args, entries):
    print(f"{'file':<18} {'MiB':>6} {'quillar':>9} {'lavf':>9} {'copy':>9} {'q/lavf':>7} {'q/copy':>7} "
          f"{'lavf/copy':>9}   {'RSS MiB q / lavf / copy':>24}")
    failures = []
    for entry in entries:
        cmds = readers(args.build, entry, args.capacity)
        rates = {k: [] for k in cmds}
        rss = {k: 0 for k in cmds}
        ratios_lavf, ratios_copy = [], []
        size = os.path.getsize(entry["path"])
        for rnd in range(args.rounds):
            order = list(cmds)
            order = order[rnd % 3:] + order[:rnd % 3]  # interleave, rotating who goes first
            got = {}
            for name in order:
                fields, peak, code = run_with_rusage(cmds[name])
                failures += [f"{entry['name']}: {p}" for p in check(entry, name, fields, code)]
                seconds = float(fields.get("seconds", "nan"))
                got[name] = (size / 1048576) / seconds if seconds > 0 else float("nan")
                rates[name].append(got[name])
                rss[name] = max(rss[name], peak)
                if name == "quillar":
                    qsum = fields.get("sum")
                if name == "lavf":
                    lsum = fields.get("sum")
            if entry["lavf_mode"] != "skip" and qsum != lsum:
                failures.append(f"{entry['name']}: library and libavformat checksums differ")
            ratios_lavf.append(got["quillar"] / got["lavf"])
            ratios_copy.append(got["quillar"] / got["copy"])
        med = {k: statistics.median(v) for k, v in rates.items()}
        print(f"{entry['name']:<18} {size / 1048576:>6.0f} {med['quillar']:>9.0f} {med['lavf']:>9.0f} "
              f"{med['copy']:>9.0f} {statistics.median(ratios_lavf):>7.2f} {statistics.median(ratios_copy):>7.2f} "
              f"{med['lavf'] / med['copy']:>9.2f}   {rss['quillar'] / 1024:>8.1f} / {rss['lavf'] / 1024:>5.1f} / "
              f"{rss['copy'] / 1024:>5.1f}")
    return failures


def callgrind(args, entries):
    print(f"{'file':<18} {'quillar Ir/B':>13} {'lavf Ir/B':>10} {'quillar Ir/item':>16} {'lavf Ir/item':>13}")
    with tempfile.TemporaryDirectory() as tmp:
        for entry in entries:
            size = os.path.getsize(entry["path"])
            counts = {}
            for name, argv in readers(args.build, entry, args.capacity).items():
                if name == "copy":
                    continue
                out = os.path.join(tmp, f"{name}.out")
                res = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] + argv,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                total = None
                for line in res.stderr.decode().splitlines():
                    if "Collected :" in line:
                        total = int(line.split(":")[-1].strip())
                counts[name] = total or 0
            items = max(entry["items"], 1)
            print(f"{entry['name']:<18} {counts['quillar'] / size:>13.2f} {counts['lavf'] / size:>10.2f} "
                  f"{counts['quillar'] / items:>16.0f} {counts['lavf'] / items:>13.0f}")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/default", help="CMake build directory")
    ap.add_argument("--inputs", default=os.path.join(tempfile.gettempdir(), "quillar-bench"),
                    help="where the generated inputs are kept (outside the repository)")
    ap.add_argument("--size-mib", type=int, default=300, help="size of each generated input")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--capacity", type=int, default=1 << 20, help="host buffer size for the library")
    ap.add_argument("--only", help="comma-separated input names to run")
    ap.add_argument("--smoke", action="store_true", help="tiny inputs, one round (for CI)")
    ap.add_argument("--callgrind", action="store_true", help="instruction counts instead of timing")
    args = ap.parse_args()
    if args.smoke:
        args.size_mib, args.rounds = 2, 1
    if args.callgrind and args.size_mib == 300:
        args.size_mib = 8
    entries = generate(args.build, args.inputs, args.size_mib)
    if args.only:
        wanted = set(args.only.split(","))
        entries = [e for e in entries if e["name"] in wanted]
    if args.callgrind:
        callgrind(args, entries)
        return 0
    failures = whole_file(args, entries)
    for f in failures:
        print("FAILED:", f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
