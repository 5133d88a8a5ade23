# Turns the measurements bench/run.sh collected into bench/RESULTS.md (on
# standard output): the machine, the figures with their targets, and then
# bench/notes.md, the hand-written account of what the figures led to.
#   python3 bench/report.py <results folder> <build folder>
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys

results, build = sys.argv[1], sys.argv[2]
here = os.path.dirname(os.path.abspath(__file__))

WALL_TARGET = 1.5  # times cat's median
RSS_TARGET_KB = 4 * 1024
TEXT_TARGET_MBS = 200
PICTURE_TARGET_MBS = 50


def read(name):
    with open(os.path.join(results, name)) as f:
        return f.read().strip()


def ms(seconds):
    return "%.2f" % (seconds * 1000)


def met(ok):
    return "met" if ok else "**missed**"


def command_output(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "?"


def cpu_model():
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "?"


def memory():
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal"):
                return "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
    return "?"


def timing(entry):
    times = entry["times"]
    return {
        "median": statistics.median(times),
        "min": min(times),
        "max": max(times),
        "stddev": statistics.stdev(times) if len(times) > 1 else 0.0,
        "runs": len(times),
    }


def machine():
    commit = command_output("git", "rev-parse", "--short", "HEAD")
    # This file itself is being rewritten while the report is made.
    if command_output("git", "status", "--porcelain", "--untracked-files=no", "--", ".",
                      ":!bench/RESULTS.md"):
        commit += " (with uncommitted changes)"
    compiler = command_output("c++", "--version").splitlines()[0]
    print("## Machine and run\n")
    print("| | |\n|---|---|")
    print("| date | %s |" % datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"))
    print("| commit | %s |" % commit)
    print("| CPU | %s, %s cores (nproc) |" % (cpu_model(), command_output("nproc")))
    print("| memory | %s |" % memory())
    print("| system | %s %s, %s |" % (platform.system(), platform.release(), compiler))
    print("| tools | %s, %s |" % (command_output("hyperfine", "--version"),
                                  command_output("valgrind", "--version")))
    print("| 1-minute load | %s at the start, %s after the whole-process runs, %s at the end |"
          % (read("load_start"), read("load_processes"), read("load_end")))
    print("| clipboard | whole-process runs: `VARKIT_CLIPBOARD=files` with a fresh "
          "`VARKIT_CLIPBOARD_DIR` under `mktemp -d` (the machine's /tmp); round trips: a "
          "private `Xvfb -noreset` |")
    print()


def whole_process():
    print("## Whole process: wall time, peak RSS, instructions\n")
    print("Each program on its input beside `cat` of the same file to /dev/null, in one "
          "hyperfine run (`-N`, 20 warm-up runs); times in ms as median (min to max) with "
          "the standard deviation. Peak RSS is the largest of 20 runs of `/usr/bin/time -f %M`; "
          "instructions are one run under callgrind, loader included.\n")
    print("| program | input | cat ms | program ms | σ | ratio | ≤ %.1fx | peak RSS | ≤ 4 MB "
          "| instructions (cat) |" % WALL_TARGET)
    print("|---|---|---|---|---|---|---|---|---|---|")
    index = 1
    while os.path.exists(os.path.join(results, "case%d.json" % index)):
        name, input_name, size = read("case%d.info" % index).splitlines()
        with open(os.path.join(results, "case%d.json" % index)) as f:
            cat_entry, program_entry = json.load(f)["results"]
        cat, program = timing(cat_entry), timing(program_entry)
        ratio = program["median"] / cat["median"]
        rss = max(int(v) for v in read("case%d.rss_program" % index).split())
        cat_rss = max(int(v) for v in read("case%d.rss_cat" % index).split())
        print("| %s | %s (%s B) | %s (%s–%s) | %s (%s–%s) | %s | %.2f | %s | %.2f MB (cat %.2f) | %s "
              "| %s (%s) |" % (
                  name, input_name, size,
                  ms(cat["median"]), ms(cat["min"]), ms(cat["max"]),
                  ms(program["median"]), ms(program["min"]), ms(program["max"]),
                  ms(program["stddev"]), ratio, met(ratio <= WALL_TARGET),
                  rss / 1024, cat_rss / 1024, met(rss <= RSS_TARGET_KB),
                  format(int(read("case%d.instructions_program" % index)), ","),
                  format(int(read("case%d.instructions_cat" % index)), ",")))
        index += 1
    print()


def in_process():
    with open(os.path.join(results, "conversions.json")) as f:
        runs = json.load(f)["benchmarks"]
    rows = {}
    for run in runs:
        name = run["run_name"]
        rows.setdefault(name, {})[run["aggregate_name"]] = run
    targets = {
        "text_read": ("TEXT variable file to its text (read step of Plaincast)", TEXT_TARGET_MBS),
        "text_export": ("text export: variable text to plain text", TEXT_TARGET_MBS),
        "text_import": ("text import: plain text to variable text", TEXT_TARGET_MBS),
        "picture_to_bitmap_bits": ("picture rows to bitmap bits (239 x 103)", PICTURE_TARGET_MBS),
        "bitmap_to_picture_rows": ("BMP file to picture rows (239 x 103)", PICTURE_TARGET_MBS),
        "dib_synthesis": ("DIB synthesis (239 x 103)", PICTURE_TARGET_MBS),
        "rtf_text": ("RTF writer, 65 KB TEXT", PICTURE_TARGET_MBS),
        "rtf_lab_report": ("RTF writer, lab report with 10 pictures and 10 strings",
                           PICTURE_TARGET_MBS),
    }
    print("## In-process conversions (Google Benchmark)\n")
    print("Input bytes per second, 10 repetitions: median, and the coefficient of variation; "
          "MB = 10^6 bytes. Wall time per iteration beside it. The lab report's pictures pass "
          "through an in-memory clipboard and, as in Quillcast, a temporary BMP file in $TMPDIR.\n")
    print("| conversion | MB/s | CV | time per run | target | |")
    print("|---|---|---|---|---|---|")
    for name, (label, target) in targets.items():
        if name not in rows:
            continue
        median = rows[name]["median"]
        rate = median["bytes_per_second"] / 1e6
        cv = rows[name].get("cv", {}).get("bytes_per_second", 0.0)
        unit = median["time_unit"]
        print("| %s | %.0f | %.1f%% | %.1f %s | ≥ %d MB/s | %s |" % (
            label, rate, cv * 100, median["real_time"], unit, target, met(rate >= target)))
    print()


def x11():
    print("## X11 clipboard round trips (Xvfb)\n")
    print("One set and one get of the same data, each by a process of its own, in one "
          "hyperfine run (shell start subtracted): the 67,477-byte plain text (Plaincast, then "
          "Plainpress reading the clipboard) and the 239 x 103 bitmap (Pixelcast, then Pixelpress "
          "reading it as image/bmp), against xclip -i and xclip -o of the same bytes. Times in "
          "ms.\n")
    print("| data | ours ms | xclip ms | ratio | no slower |")
    print("|---|---|---|---|---|")
    for name, label in (("x11_text", "64 KB text"), ("x11_bitmap", "239 x 103 bitmap")):
        with open(os.path.join(results, name + ".json")) as f:
            ours_entry, xclip_entry = json.load(f)["results"]
        ours, xclip = timing(ours_entry), timing(xclip_entry)
        ratio = ours["median"] / xclip["median"]
        print("| %s | %s (%s–%s, σ %s) | %s (%s–%s, σ %s) | %.2f | %s |" % (
            label, ms(ours["median"]), ms(ours["min"]), ms(ours["max"]), ms(ours["stddev"]),
            ms(xclip["median"]), ms(xclip["min"]), ms(xclip["max"]), ms(xclip["stddev"]),
            ratio, met(ratio <= 1.0)))
    print()


print("# Benchmark results\n")
print("Written by `bash bench/run.sh` (figures) from bench/report.py, followed by "
      "bench/notes.md (analysis). Rerun it to refresh the figures.\n")
machine()
whole_process()
in_process()
x11()
with open(os.path.join(here, "notes.md")) as f:
    sys.stdout.write(f.read())
