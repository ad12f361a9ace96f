#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Whole-file benchmark: libQuillar against libavformat and the copy limit.

Generates large inputs with the project's own writers (outside the
repository), then runs three readers over each file in interleaved rounds,
each in its own process:
  quillar  the library through its four host calls
  lavf     libavformat's av_read_frame loop (the peer), touching the packets
           where libavformat leaves them
  lavf+cp  the same loop copying each packet into a 1 MiB host buffer first,
           as a decoder host reading with libavformat does (the peer the
           targets are judged against)
  copy     fread in 8192-byte blocks + one memcpy into a host buffer
Every reader touches every byte it gets with the same cheap checksum. The
script checks item and byte counts against what the generator wrote, and
the checksums of library and peer against each other, so a fast wrong answer
fails. It prints medians of MiB/s, the ratios, and each reader's peak RSS.

  bench/run_bench.py --build build/default --inputs /tmp/quillar-bench
  bench/run_bench.py --build build/default --smoke           (CI: tiny files)
  bench/run_bench.py --build build/default --callgrind       (instruction counts:
      the slope between an 8 MiB and a 32 MiB file, start-up excluded)
  bench/run_bench.py --build build/default --baseline ../old/build/default
      (an earlier commit's library in the same rounds: before and after)
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
    inputs = os.path.join(inputs, f"{size_mib}MiB")  # each size in a folder of its own
    os.makedirs(inputs, exist_ok=True)
    manifest = os.path.join(inputs, "manifest-v4.txt")  # v4: with FLV and WebM
    if not os.path.exists(manifest):
        out = subprocess.run([os.path.join(build, "bench", "make_inputs"), inputs, str(size_mib)],
                             check=True, stdout=subprocess.PIPE).stdout.decode()
        with open(manifest, "w") as f:
            f.write(out)
    entries = []
    with open(manifest) as f:
        for line in f:
            name, standard, lavf_mode, items, nbytes, lavf_items, lavf_bytes = line.split()[:7]
            entries.append(dict(name=name, path=os.path.join(inputs, name), standard=standard,
                                lavf_mode=lavf_mode, items=int(items), bytes=int(nbytes),
                                lavf_items=int(lavf_items), lavf_bytes=int(lavf_bytes)))
    return entries


def readers(build, entry, capacity, baseline=None):
    bench = os.path.join(build, "bench")
    lavf = [os.path.join(bench, "lavf_reader"), entry["path"]]
    if entry["lavf_mode"] == "video":
        lavf.append("video")
    cmds = {
        "quillar": [os.path.join(bench, "quillar_reader"), entry["path"], entry["standard"], str(capacity)],
        "lavf": lavf,
        "lavf+cp": lavf + ["copy"],
        "copy": [os.path.join(bench, "copy_reader"), entry["path"]],
    }
    if baseline:  # the library of another build (an earlier commit), in the same rounds
        cmds["before"] = [os.path.join(baseline, "bench", "quillar_reader")] + cmds["quillar"][1:]
    if entry["lavf_mode"] == "skip":  # libavformat has no reader for this stream
        del cmds["lavf"], cmds["lavf+cp"]
    return cmds


def check(entry, name, fields, code):
    problems = []
    if code != 0:
        problems.append(f"{name} exited with {code}")
    if name in ("quillar", "before", "lavf", "lavf+cp"):
        prefix = "lavf_" if name.startswith("lavf") else ""
        if int(fields.get("items", -1)) != entry[prefix + "items"]:
            problems.append(f"{name} gave {fields.get('items')} items, expected {entry[prefix + 'items']}")
        if int(fields.get("bytes", -1)) != entry[prefix + "bytes"]:
            problems.append(f"{name} gave {fields.get('bytes')} bytes, expected {entry[prefix + 'bytes']}")
    if name == "copy" and int(fields.get("bytes", -1)) != os.path.getsize(entry["path"]):
        problems.append("copy reader did not read the whole file")
    return problems


def fmt(value, style):
    return "-" if value is None else format(value, style)


def whole_file(args, entries):
    print(f"{'file':<14} {'MiB':>5} {'quillar':>8} {'lavf':>8} {'lavf+cp':>8} {'copy':>8} {'q/lavf':>7} "
          f"{'q/lavf+cp':>9} {'q/copy':>7} {'lavf+cp/copy':>12}   {'peak RSS MiB q / lavf+cp / copy':>31}"
          + (f"   {'before':>8} {'b/lavf+cp':>9} {'b/copy':>7} {'q/b':>6}" if args.baseline else ""))
    print(f"{'':<14} {'':>5} {'MiB/s':>8} {'MiB/s':>8} {'MiB/s':>8} {'MiB/s':>8}")
    failures = []
    for entry in entries:
        cmds = readers(args.build, entry, args.capacity, args.baseline)
        rates = {k: [] for k in cmds}
        rss = {k: 0 for k in cmds}
        ratios = {"lavf": [], "lavf+cp": [], "copy": []}
        before = {"lavf+cp": [], "copy": [], "quillar": []}  # the baseline build's ratios
        size = os.path.getsize(entry["path"])
        for rnd in range(args.rounds):
            order = list(cmds)
            shift = rnd % len(order)
            order = order[shift:] + order[:shift]  # interleave, rotating who goes first
            got, sums = {}, {}
            for name in order:
                fields, peak, code = run_with_rusage(cmds[name])
                failures += [f"{entry['name']}: {p}" for p in check(entry, name, fields, code)]
                seconds = float(fields.get("cpu_seconds" if args.clock == "cpu" else "seconds", "nan"))
                got[name] = (size / 1048576) / seconds if seconds > 0 else float("nan")
                rates[name].append(got[name])
                rss[name] = max(rss[name], peak)
                sums[name] = fields.get("frame_sum" if name in ("quillar", "before") else "sum")
            # The library's frames and libavformat's packets carry the same bytes.
            for peer in ("lavf", "lavf+cp"):
                if peer in cmds and sums["quillar"] != sums[peer]:
                    failures.append(f"{entry['name']}: library and {peer} checksums differ")
            for peer in ratios:
                if peer in cmds:
                    ratios[peer].append(got["quillar"] / got[peer])
            if "before" in cmds:
                if sums["before"] != sums["quillar"]:
                    failures.append(f"{entry['name']}: library and baseline checksums differ")
                for peer in before:
                    if peer in cmds:
                        before[peer].append(got[peer] / got["before"] if peer == "quillar" else got["before"] / got[peer])
        if args.stat == "best":  # each reader's fastest round, and the ratios of those
            med = {k: max(v) for k, v in rates.items()}
            ratios = {k: [med["quillar"] / med[k]] if k in cmds else [] for k in ratios}
            if "before" in cmds:
                before = {k: [med[k] / med["before"] if k == "quillar" else med["before"] / med[k]]
                          if k in cmds else [] for k in before}
        else:  # medians of the rates, and of the ratios within each round
            med = {k: statistics.median(v) for k, v in rates.items()}
        r = {k: statistics.median(v) if v else None for k, v in ratios.items()}
        lavfcp = med.get("lavf+cp")
        print(f"{entry['name']:<14} {size / 1048576:>5.0f} {med['quillar']:>8.0f} {fmt(med.get('lavf'), '8.0f'):>8} "
              f"{fmt(lavfcp, '8.0f'):>8} {med['copy']:>8.0f} {fmt(r['lavf'], '7.2f'):>7} "
              f"{fmt(r['lavf+cp'], '9.2f'):>9} {r['copy']:>7.2f} "
              f"{fmt(lavfcp / med['copy'] if lavfcp else None, '12.2f'):>12}   {rss['quillar'] / 1024:>13.1f} / "
              f"{fmt(rss['lavf+cp'] / 1024 if 'lavf+cp' in rss else None, '7.1f'):>7} / {rss['copy'] / 1024:>5.1f}"
              + (f"   {med['before']:>8.0f} {fmt(statistics.median(before['lavf+cp']) if before['lavf+cp'] else None, '9.2f'):>9} "
                 f"{statistics.median(before['copy']):>7.2f} {statistics.median(before['quillar']):>6.2f}"
                 if "before" in cmds else ""),
              flush=True)
    return failures


def count_instructions(args, argv, out):
    """Instructions the process runs, under callgrind, or for an aarch64
    build under qemu-aarch64 with the counting plugin (None when unknown)."""
    if not os.path.exists(argv[0]):
        return None
    if args.qemu_plugin:
        res = subprocess.run(["qemu-aarch64", "-L", args.qemu_sysroot, "-plugin", args.qemu_plugin] + argv,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        for line in res.stderr.decode().splitlines():
            if line.startswith("insns "):
                return int(line.split()[1])
        return None
    # glibc's x86-64 memcpy copies mid-sized blocks with REP MOVSB, which
    # callgrind counts once per byte moved, and whether it is taken depends
    # on the distance between source and destination: the counts then follow
    # buffer addresses rather than work. Every reader is counted with the
    # vector loop instead.
    env = dict(os.environ, GLIBC_TUNABLES="glibc.cpu.x86_rep_movsb_threshold=2147483647")
    res = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] + argv,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    for line in res.stderr.decode().splitlines():
        if "Collected :" in line:
            return int(line.split(":")[-1].strip())
    return None


def callgrind(args, small, large):
    """Instructions per byte as the slope between two sizes of each input, so
    that start-up (libavformat's is large) drops out; and per item, the same
    slope over the items."""
    names = ("quillar",) + (("before",) if args.baseline else ()) + ("lavf", "lavf+cp", "copy")
    print(f"{'file':<14} " + " ".join(f"{n + ' Ir/B':>13}" for n in names) + "   "
          + " ".join(f"{n + ' Ir/item':>16}" for n in names))
    by_name = {e["name"]: e for e in small}
    with tempfile.TemporaryDirectory() as tmp:
        for big in large:
            little = by_name.get(big["name"])
            if not little:
                continue
            dbytes = os.path.getsize(big["path"]) - os.path.getsize(little["path"])
            per_byte, per_item = {}, {}
            for name in names:
                counts = []
                for entry in (little, big):
                    argv = readers(args.build, entry, args.capacity, args.baseline).get(name)
                    if not argv:
                        break
                    tag = os.path.basename(os.path.dirname(entry["path"]))
                    out = os.path.join(args.keep or tmp, f"callgrind.{entry['name']}.{tag}.{name}")
                    counts.append(count_instructions(args, argv, out))
                if len(counts) == 2 and None not in counts:
                    prefix = "lavf_" if name.startswith("lavf") else ""
                    ditems = big[prefix + "items"] - little[prefix + "items"]
                    per_byte[name] = (counts[1] - counts[0]) / dbytes
                    per_item[name] = (counts[1] - counts[0]) / max(ditems, 1)
            print(f"{big['name']:<14} " + " ".join(f"{fmt(per_byte.get(n), '13.2f'):>13}" for n in names) + "   "
                  + " ".join(f"{fmt(per_item.get(n), '16.0f'):>16}" for n in names), flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/default", help="CMake build directory")
    ap.add_argument("--inputs", default=os.path.join(tempfile.gettempdir(), "quillar-bench"),
                    help="where the generated inputs are kept (outside the repository)")
    ap.add_argument("--size-mib", type=int, default=300, help="size of each generated input")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--capacity", type=int, default=1 << 20, help="host buffer size for the library")
    ap.add_argument("--clock", choices=["wall", "cpu"], default="wall",
                    help="rate from elapsed time, or from the process's CPU time (steadier on a busy machine)")
    ap.add_argument("--only", help="comma-separated input names to run")
    ap.add_argument("--stat", choices=["median", "best"], default="median",
                    help="medians of the rounds (rates, and ratios within each round), or each reader's best "
                    "round (on a machine whose speed drifts between runs, the steadier figure)")
    ap.add_argument("--baseline", help="another build directory (an earlier commit) whose library is run in the "
                    "same rounds: adds its rate, its ratios and quillar/baseline")
    ap.add_argument("--smoke", action="store_true", help="tiny inputs, one round (for CI)")
    ap.add_argument("--callgrind", action="store_true", help="instruction counts instead of timing")
    ap.add_argument("--keep", help="with --callgrind: keep the profiles in this directory (callgrind_annotate)")
    ap.add_argument("--qemu-plugin", help="instruction counts of an aarch64 build (--build build/arm64) under "
                    "qemu-aarch64 with this counting plugin (bench/qemu_insn_count.c); the inputs come from "
                    "a native build's make_inputs, so generate them first with --callgrind")
    ap.add_argument("--qemu-sysroot", default="/usr/aarch64-linux-gnu", help="qemu-aarch64 -L")
    args = ap.parse_args()
    if args.smoke:
        args.size_mib, args.rounds = 2, 1
    wanted = set(args.only.split(",")) if args.only else None

    def inputs(size_mib):
        entries = generate(args.build, args.inputs, size_mib)
        return [e for e in entries if wanted is None or e["name"] in wanted]

    if args.callgrind or args.qemu_plugin:
        callgrind(args, inputs(8), inputs(32))
        return 0
    entries = inputs(args.size_mib)
    failures = whole_file(args, entries)
    for f in failures:
        print("FAILED:", f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
