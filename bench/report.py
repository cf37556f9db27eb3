#!/usr/bin/env python3
"""Turns one benchmark run into tables: MB/s of every engine and our ratio to each peer
measured in the same run, memory held per file byte, the build/remove curve, and the
cold-process load times.

usage: report.py RESULTS_JSON COLD_JSON [MARKDOWN_OUT]
       report.py --cold XML_COLD_BINARY CORPUS_FOLDER COLD_JSON [RUNS]
"""
import json
import os
import re
import resource
import statistics
import subprocess
import sys

kPeers = ["pugixml", "tinyxml2", "libxml2", "expat"]


def Cold(binary, folder, out, runs=11):
    """Times whole fresh processes loading each UTF-8 file (median of the runs)."""
    results = {}
    files = sorted(f for f in os.listdir(folder) if f.endswith(".utf8.xml"))
    engines = subprocess.run([binary, "--list"], capture_output=True, text=True).stdout.split() or ["quillon"]
    for name in files:
        path = os.path.join(folder, name)
        times = {engine: [] for engine in engines}
        failed, counts = set(), {}
        # The engines take turns, run by run: a drift of the machine's speed over the
        # minutes of one file (another process, the frequency) then touches them alike.
        for _ in range(runs):
            for engine in engines:
                if engine in failed:
                    continue
                # CPU time of the child (user + system): on a busy machine wall time mostly
                # measures the wait for a core.
                before = resource.getrusage(resource.RUSAGE_CHILDREN)
                done = subprocess.run([binary, engine, path], capture_output=True, text=True)
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                times[engine].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
                if done.returncode != 0:
                    failed.add(engine)
                counts[engine] = int(done.stdout.strip() or 0) if done.returncode == 0 else 0
        for engine in engines:
            if engine not in failed:
                results.setdefault(name[:-len(".utf8.xml")], {})[engine] = {
                    "seconds": statistics.median(times[engine]), "bytes": os.path.getsize(path),
                    "elements": counts[engine]}
    with open(out, "w") as f:
        json.dump(results, f, indent=1)


def Rows(results):
    """One row per benchmark: the median of its repetitions when it was repeated
    (--benchmark_repetitions=N), else its only run."""
    rows, medians = {}, {}
    for b in results["benchmarks"]:
        if b.get("error_occurred"):
            continue
        # "Load/x/quillon/min_time:0.500" -> "Load/x/quillon"
        name = re.sub(r"/(min_time|iterations|real_time|repeats)[^/]*", "", b.get("run_name", b["name"]))
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = b
            continue
        rows[name] = b
    rows.update(medians)
    return rows


def Mbps(bench):
    return bench.get("bytes_per_second", 0.0) / 1e6


def Table(title, header, lines):
    out = ["", "### " + title, "", "| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    out += ["| " + " | ".join(str(c) for c in line) + " |" for line in lines]
    return out


def Ratio(a, b):
    return "%.2fx" % (a / b) if a and b else "n/a"


def Report(resultsPath, coldPath):
    with open(resultsPath) as f:
        rows = Rows(json.load(f))
    files = sorted({name.split("/")[1] for name in rows if name.startswith("Load/")})
    out = []

    lines = []
    for tag in files:
        ours = rows.get("Load/%s/quillon" % tag)
        if not ours:
            continue
        line = [tag, "%.0f" % Mbps(ours)]
        for peer in kPeers:
            p = rows.get("Load/%s/%s" % (tag, peer))
            line.append("%.0f (%s)" % (Mbps(p), Ratio(Mbps(ours), Mbps(p))) if p else "-")
        lines.append(line)
    out += Table("Load a file into a navigable document (MB/s of file; ours / peer in brackets)",
                 ["file", "quillon"] + kPeers, lines)

    lines = []
    for tag in files:
        decode = rows.get("Convert/%s/utf8-to-utf16" % tag)
        if not decode:
            continue
        encode, iconv = rows.get("Convert/%s/utf16-to-utf8" % tag), rows.get("Convert/%s/iconv-utf8-to-utf16" % tag)
        lines.append([tag, "%.0f" % Mbps(decode), "%.0f" % Mbps(encode) if encode else "-",
                      "%.0f" % Mbps(iconv) if iconv else "-"])
    out += Table("Encoding module: UTF-8 <-> UTF-16, size pass + writing pass (MB/s of the UTF-8 size)",
                 ["file", "UTF-8 -> UTF-16", "UTF-16 -> UTF-8", "glibc iconv UTF-8 -> UTF-16 (one pass)"], lines)

    lines = []
    for tag in files:
        ours, pugi = rows.get("Parse/%s/quillon-utf16" % tag), rows.get("Parse/%s/pugixml-utf8" % tag)
        if ours:
            lines.append([tag, "%.0f" % Mbps(ours), "%.0f" % Mbps(pugi) if pugi else "-",
                          Ratio(Mbps(ours), Mbps(pugi) if pugi else 0)])
    out += Table("Parse text already in memory (MB/s of the UTF-8 size)",
                 ["file", "quillon from UTF-16", "pugixml from UTF-8", "ratio"], lines)

    lines = []
    for tag in files:
        ours = rows.get("Walk/%s/quillon" % tag)
        if not ours:
            continue
        line = [tag, "%.0f" % Mbps(ours), "%d" % ours.get("elements", 0)]
        for peer in kPeers[:3]:
            p = rows.get("Walk/%s/%s" % (tag, peer))
            line.append("%.0f (%s)" % (Mbps(p), Ratio(Mbps(ours), Mbps(p))) if p else "-")
        lines.append(line)
    out += Table("Walk every element and attribute (MB/s of file; ours / peer)",
                 ["file", "quillon", "elements"] + kPeers[:3], lines)

    lines = []
    for tag in files:
        if not rows.get("Memory/%s/quillon" % tag):
            continue
        line = [tag]
        for engine in ["quillon"] + kPeers[:3]:
            m = rows.get("Memory/%s/%s" % (tag, engine))
            line.append("%.2f" % m["held_per_file_byte"] if m else "-")
        lines.append(line)
    out += Table("Heap held by a loaded document, per byte of file", ["file", "quillon"] + kPeers[:3], lines)

    lines = []
    for what in ["Build/quillon", "Build/pugixml", "Remove/quillon"]:
        for n in [10000, 100000, 1000000]:
            b = rows.get("%s/%d" % (what, n))
            if b:
                perElement = b["real_time"] * {"ms": 1e6, "us": 1e3, "ns": 1}[b["time_unit"]] / n
                lines.append([what, n, "%.1f ms" % (perElement * n / 1e6), "%.0f ns" % perElement])
    out += Table("Build (AddChildElement + attribute, then save) and remove every element",
                 ["operation", "elements", "time", "per element"], lines)

    if coldPath and os.path.exists(coldPath):
        with open(coldPath) as f:
            cold = json.load(f)
        lines = []
        for tag in sorted(cold):
            ours = cold[tag].get("quillon")
            if not ours:
                continue
            line = [tag, "%.1f ms" % (ours["seconds"] * 1e3)]
            for peer in kPeers:
                p = cold[tag].get(peer)
                line.append("%.1f ms (%s)" % (p["seconds"] * 1e3, Ratio(p["seconds"], ours["seconds"])) if p else "-")
            lines.append(line)
        out += Table("Cold process: a fresh process loads the UTF-8 file and counts elements "
                     "(median CPU time of the process; peer time / ours in brackets)", ["file", "quillon"] + kPeers, lines)
    return "\n".join(out) + "\n"


def main():
    if sys.argv[1] == "--cold":
        Cold(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]) if len(sys.argv) > 5 else 5)
        return
    text = Report(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None)
    print(text)
    if len(sys.argv) > 3:
        with open(sys.argv[3], "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
