#!/usr/bin/env python3
"""Runs every writing program under strace's fault injection and checks what
the suite promises whatever fails: status 0 means the outputs equal those of
the run without faults; any other status means a failure line, each output
either as it was before or as the run without faults leaves it, never a part
of one, and no temporary file left anywhere. Further rows check links, modes,
signals, standard output, a stopped X server, a FIFO in the clipboard folder,
sizes the data cannot fill, terminal output and concurrent runs.

usage: fault_injection.py BIN_DIR EXAMPLES_DIR [--quick]
"""
import os
import pty
import re
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

BIN, EXAMPLES = sys.argv[1], sys.argv[2]
# The sanitizer build skips the injected runs and the concurrent ones.
QUICK = "--quick" in sys.argv
SYSCALLS = [("write", "ENOSPC"), ("read", "EIO"), ("close", "EIO"), ("rename", "EIO"),
            ("renameat", "EIO"), ("fsync", "EIO"), ("openat", "EACCES"), ("lseek", "EIO"),
            ("ftruncate", "EIO"), ("%fstat", "EIO")]
FAILURE_LINE = re.compile(rb"^(Error|Can't|Not a valid)", re.M)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, flush=True)


class Folder:
    """A run folder with its own clipboard folder and TMPDIR."""

    def __init__(self, inputs):
        self.path = tempfile.mkdtemp(prefix="faults-")
        self.clip = os.path.join(self.path, "clip")
        self.tmp = os.path.join(self.path, "tmp")
        os.mkdir(self.tmp)
        for name, data in inputs.items():
            self.put(name, data)

    def put(self, name, data):
        with open(os.path.join(self.path, name), "wb") as f:
            f.write(data)

    def get(self, name):
        path = os.path.join(self.path, name)
        return open(path, "rb").read() if os.path.exists(path) else None

    def env(self, **extra):
        env = dict(os.environ, VARKIT_CLIPBOARD="files", VARKIT_CLIPBOARD_DIR=self.clip,
                   TMPDIR=self.tmp, LC_ALL="C")
        env.update(extra)
        return env

    def leftovers(self):
        found = [n for n in os.listdir(self.path) if n.startswith(".varkit-")]
        found += os.listdir(self.tmp)
        if os.path.isdir(self.clip):
            found += [n for n in os.listdir(self.clip) if n.startswith(".incoming-")]
        return found

    def run(self, program, args, strace=(), **kwargs):
        command = list(strace) + [os.path.join(BIN, program)] + args
        kwargs.setdefault("env", self.env())
        kwargs.setdefault("timeout", 60)
        return subprocess.run(command, cwd=self.path, capture_output=True, **kwargs)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def example(name):
    return open(os.path.join(EXAMPLES, name), "rb").read()


def bad_checksum(data):
    return data[:-2] + bytes([data[-2] ^ 0xFF, data[-1]])


# ---- Injected faults -----------------------------------------------------
# program, arguments, inputs, the output that must stay whole, and text
# placed on the clipboard first. An output that is also an input is changed
# in place. A lab report whose picture failed, and said so, is still
# delivered whole with the picture's reference in its place.
def made_by_plainpress(text):
    f = Folder({"t.txt": text})
    f.run("Plainpress", ["t.89t", "t.txt"])
    data = f.get("t.89t")
    f.remove()
    return data


def group_file():
    """A TI-89 group: folder main with a TEXT whose checksum is wrong and a STR."""
    import struct
    variables = [(b"notes", 11, b"\x00\x01 hi\x00\xe0"), (b"s1", 12, b"\x00abc\x00\x2d")]
    count = len(variables) + 1
    offset = 64 + 16 * count + 2
    table = struct.pack("<8sBBHI", b"main", 31, 0, len(variables), offset)
    blocks = b""
    for name, type_code, data in variables:
        block = struct.pack(">4xH", len(data)) + data
        block += struct.pack("<H", (sum(block[4:]) + (name == b"notes")) & 0xFFFF)
        blocks += block
        table += struct.pack("<8sBBHI", name, type_code, 0, 0, offset + len(blocks))
    header = struct.pack("<8sH8s40sHI", b"**TI89**", 1, b"main", b"group", count, offset)
    return header + table + b"\xa5\x5a" + blocks


# An input of None is the example file of that name.
LONG_TEXT = b"x" * 9000 + b"\r\ny" * 900
INJECTED = [] if QUICK else [
    ("Plainpress", ["out.89t", "long.txt"], {"long.txt": LONG_TEXT}, "out.89t", None),
    ("Plainpress", ["out.89s"], {}, "out.89s", b"from the clipboard"),
    ("Plaincast", ["long.89t", "out.txt", "/S"], {"long.89t": made_by_plainpress(LONG_TEXT)},
     "out.txt", None),
    ("Pixelcast", ["smiley.9xi", "out.bmp", "/S"], {"smiley.9xi": None}, "out.bmp", None),
    ("Pixelpress", ["out.9xi", "smiley.bmp"], {"smiley.bmp": None}, "out.9xi", None),
    ("Quillcast", ["pendulum.9xr", "out.rtf"], {"pendulum.9xr": None}, "out.rtf", None),
    ("Varlook", ["v.89t", "/N", "newname", "/C", "c2"], {"v.89t": example("notes.89t")},
     "v.89t", None),
    ("Varlook", ["v.89t", "/X"], {"v.89t": bad_checksum(example("notes.89t"))}, "v.89t", None),
    ("Varlook", ["g.89g", "--member=notes", "/X", "/N", "memo"], {"g.89g": group_file()}, "g.89g",
     None),
]


def prepare(inputs, output, clip_text):
    f = Folder({name: example(name) if data is None else data for name, data in inputs.items()})
    if output not in inputs:
        f.put(output, b"old")
    if clip_text is not None:
        os.mkdir(f.clip, 0o700)
        f.put("clip/text.txt", clip_text)
    return f


def calls_after_start(log, syscall):
    """How many calls the loader made before main, and how many the run made."""
    lines = open(log).read().splitlines()
    start = next((i for i, line in enumerate(lines) if " prlimit64(" in line), None)
    if start is None:
        # Without that mark, main begins after the last library is closed.
        library = max((i for i, line in enumerate(lines) if re.search(r"openat\(.*\.so", line)),
                      default=0)
        start = next((i + 1 for i in range(library, len(lines)) if " close(" in lines[i]), 0)
    # A class such as %fstat stands for every call of its kind.
    name = r"(new)?fstat(at)?(64)?" if syscall == "%fstat" else syscall
    calls = [bool(re.match(r"\d+\s+%s\(" % name, line)) for line in lines]
    return sum(calls[:start]), sum(calls[start:])


def run_injected(program, args, inputs, output, clip_text):
    what = " ".join([program] + args)
    base = prepare(inputs, output, clip_text)
    old = base.get(output)
    log = base.path + ".log"
    baseline = base.run(program, args, strace=["strace", "-f", "-qq", "-o", log])
    check(baseline.returncode == 0, f"{what}: runs without faults")
    expected = base.get(output)
    base.remove()
    runs = 0
    for syscall, error in SYSCALLS:
        before, count = calls_after_start(log, syscall)
        for n in range(before + 1, before + count + 1):
            runs += 1
            f = prepare(inputs, output, clip_text)
            fault_log = f.path + ".log"
            result = f.run(program, args, strace=[
                "strace", "-f", "-qq", "-o", fault_log, "-e", f"trace={syscall}",
                "-e", f"inject={syscall}:error={error}:when={n}"])
            case = f"{what}: {syscall} {error} at call {n}"
            data = f.get(output)
            if result.returncode == 0:
                check(result.stdout == baseline.stdout and data == expected,
                      f"{case}: status 0 with other output")
            else:
                # A failure line written to a failing standard error is lost.
                lost = re.search(r"write\(2,.*INJECTED", open(fault_log).read())
                check(FAILURE_LINE.search(result.stderr + result.stdout) or lost,
                      f"{case}: status {result.returncode} without a failure line")
                check(data in (old, expected) or
                      (program == "Quillcast" and data.startswith(b"{\\rtf") and
                       data.endswith(b"}") and b"Error: " in result.stderr), f"{case}: damaged")
            check(f.leftovers() == [], f"{case}: left {f.leftovers()}")
            os.unlink(fault_log)
            f.remove()
    os.unlink(log)
    return runs


# ---- Further rows ----------------------------------------------------------

def output_links_modes_and_owners():
    f = Folder({"notes.89t": example("notes.89t"), "real.txt": b"old"})
    os.chmod(os.path.join(f.path, "real.txt"), 0o640)
    os.symlink("real.txt", os.path.join(f.path, "link.txt"))
    os.symlink("later.txt", os.path.join(f.path, "dangling.txt"))
    if os.geteuid() == 0:
        os.chown(os.path.join(f.path, "real.txt"), 65534, 65534)
    text = f.run("Plaincast", ["notes.89t", "plain.txt"]) and f.get("plain.txt")
    check(f.run("Plaincast", ["notes.89t", "link.txt"]).returncode == 0, "link: status")
    check(os.path.islink(os.path.join(f.path, "link.txt")), "link: still a link")
    check(f.get("real.txt") == text, "link: target written")
    info = os.stat(os.path.join(f.path, "real.txt"))
    check(stat.S_IMODE(info.st_mode) == 0o640, "replaced file keeps its mode")
    if os.geteuid() == 0:
        check((info.st_uid, info.st_gid) == (65534, 65534), "replaced file keeps its owner")
    f.run("Plaincast", ["notes.89t", "dangling.txt"])
    check(f.get("later.txt") == text, "dangling link: its end created")
    piped = f.run("Plaincast", ["notes.89t", "/dev/stdout"])
    check(piped.returncode == 0 and piped.stdout == text + b"\n", "/dev/stdout as a pipe")
    check(os.path.islink("/dev/stdout"), "/dev/stdout stays a link")
    f.remove()


def standard_output_full():
    f = Folder({"notes.89t": example("notes.89t"), "smiley.9xi": example("smiley.9xi")})
    for program, args in [("Plaincast", ["notes.89t", "/S"]), ("Varlook", ["notes.89t"]),
                          ("Pixelcast", ["smiley.9xi", "/S"])]:
        with open("/dev/full", "wb") as full:
            result = subprocess.run([os.path.join(BIN, program)] + args, cwd=f.path,
                                    env=f.env(), stdout=full, stderr=subprocess.PIPE)
        check(result.returncode == 1 and
              result.stderr.endswith(b"Error: Can't write to standard output.\n"),
              f"{program} to /dev/full")
    f.remove()


def signals_remove_temporaries():
    cases = [("Plainpress", ["out.89t", "notes.txt"], {"notes.txt": example("notes.txt")}),
             ("Quillcast", ["pendulum.9xr", "out.rtf"], {"pendulum.9xr": example("pendulum.9xr")})]
    for program, args, inputs in cases:
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            f = Folder(inputs)
            f.put(args[0] if program == "Plainpress" else "out.rtf", b"old")
            strace = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=fsync",
                      "-e", "inject=fsync:delay_enter=1000000:when=1"]
            process = subprocess.Popen(strace + [os.path.join(BIN, program)] + args,
                                       cwd=f.path, env=f.env(), stderr=subprocess.DEVNULL)
            # Held just before the rename: the temporary file is complete.
            deadline = time.time() + 10
            while not [n for n in f.leftovers() if n.startswith(".varkit-")]:
                if time.time() > deadline:
                    check(False, f"{program}: no temporary file during the run")
                    break
                time.sleep(0.02)
            children = open(f"/proc/{process.pid}/task/{process.pid}/children").read().split()
            os.kill(int(children[0]), number)
            process.wait(timeout=30)
            check(process.returncode == -number, f"{program} dies by signal {number}")
            check(f.leftovers() == [], f"{program} after signal {number}: {f.leftovers()}")
            check(b"old" in [f.get("out.89t"), f.get("out.rtf")], f"{program}: old output kept")
            f.remove()


# A size the data cannot fill must be refused before it is allocated. The
# sanitizers reserve more address space than this, so their build runs free.
MEMORY_LIMIT = {} if QUICK else {"preexec_fn": lambda: resource.setrlimit(
    resource.RLIMIT_AS, (256 << 20, 256 << 20))}


def stopped_x_server_and_clipboard_fifo():
    f = Folder({"notes.89t": example("notes.89t")})
    os.mkdir(f.clip, 0o700)
    os.mkfifo(os.path.join(f.clip, "text.txt"))
    result = f.run("Plainpress", ["out.89t"], timeout=20)
    check(result.returncode == 1 and f.get("out.89t") is None, "FIFO in the clipboard folder")
    os.unlink(os.path.join(f.clip, "text.txt"))
    with open(os.path.join(f.clip, "text.txt"), "wb") as huge:
        huge.truncate(250 << 20)
    result = f.run("Plainpress", ["out.89t"], **MEMORY_LIMIT)
    check(result.returncode == 1 and f.get("out.89t") is None, "250 MB clipboard text refused")
    if shutil.which("Xvfb"):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp"],
                                pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        display = os.read(read_end, 16).decode().strip()
        os.close(read_end)
        os.kill(xvfb.pid, signal.SIGSTOP)
        result = f.run("Plaincast", ["notes.89t", "out.txt"], timeout=20,
                       env=f.env(DISPLAY=":" + display, VARKIT_CLIPBOARD="x11"))
        check(result.returncode == 1 and b"Unable to open clipboard" in result.stderr and
              f.get("out.txt") is not None, "stopped X server: no hang, text file written")
        os.kill(xvfb.pid, signal.SIGCONT)
        xvfb.terminate()
        xvfb.wait()
    f.remove()


def refusals():
    f = Folder({"notes.txt": example("notes.txt"), "notes.89t": example("notes.89t")})
    for name in ["9lives.89t", ".89t"]:
        result = f.run("Plainpress", [name, "notes.txt"])
        check(result.returncode == 1 and b"/N" in result.stderr and f.get(name) is None,
              f"default name of {name} refused")
    # 65535 x 65535 in a file of 4 KB, sparse in a file of 512 MB.
    header = bytearray(example("smiley.9xi")[:88])
    f.put("huge.9xi", bytes(header) + b"\xff\xff\xff\xff" + bytes(4096))
    os.truncate(os.path.join(f.path, "huge.9xi"), 512 << 20)
    result = f.run("Pixelcast", ["huge.9xi", "huge.bmp"], **MEMORY_LIMIT)
    check(result.returncode == 1 and b"Error: " in result.stderr and f.get("huge.bmp") is None,
          "huge picture refused")
    # On a terminal the comment's control bytes show as '?'; in a pipe as they are.
    f.run("Varlook", ["notes.89t", "/C", "a\x1b]0;title\x07b"])
    piped = f.run("Varlook", ["notes.89t"])
    check(b"a\x1b]0;title\x07b" in piped.stdout, "control bytes exact in a pipe")
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(f.path)
        os.execv(os.path.join(BIN, "Varlook"), ["Varlook", "notes.89t"])
    shown = b""
    try:
        while piece := os.read(terminal, 4096):
            shown += piece
    except OSError:  # the terminal closes with the run
        pass
    os.waitpid(pid, 0)
    check(b"a?]0;title?b" in shown and b"\x1b" not in shown, "control bytes as ? on a terminal")
    f.remove()


def concurrent_pictures_stay_apart():
    smiley = example("smiley.9xi")
    inverted = smiley[:92] + bytes(b ^ 0xFF for b in smiley[92:-3]) + smiley[-3:]
    f = Folder({"a.9xi": smiley, "b.9xi": inverted})
    f.run("Pixelcast", ["a.9xi", "a0.bmp"])
    f.run("Pixelcast", ["b.9xi", "b0.bmp"])
    names = [("ab"[i % 2], i) for i in range(48)]
    with ThreadPoolExecutor(8) as pool:
        results = list(pool.map(
            lambda n: f.run("Pixelcast", [f"{n[0]}.9xi", f"{n[0]}{n[1]}.out.bmp"]), names))
    # A run that gave up (a clipboard lock held too long on a loaded machine)
    # may save nothing; one that saved must have saved its own picture.
    for (letter, i), result in zip(names, results):
        saved = f.get(f"{letter}{i}.out.bmp")
        check(saved == f.get(f"{letter}0.bmp") or (saved is None and result.returncode == 1),
              f"concurrent Pixelcast {i} saved its own picture")
    check(sum(result.returncode == 0 for result in results) > len(names) // 2,
          "most concurrent Pixelcast runs succeed")
    f.remove()


def main():
    if not shutil.which("strace"):
        print("strace is not installed")
        return 77
    counts = {}
    for program, args, inputs, output, clip_text in INJECTED:
        counts[program] = counts.get(program, 0) + run_injected(program, args, inputs, output,
                                                                clip_text)
    print("injected runs:", counts, flush=True)
    output_links_modes_and_owners()
    standard_output_full()
    signals_remove_temporaries()
    stopped_x_server_and_clipboard_fifo()
    refusals()
    if not QUICK:
        concurrent_pictures_stay_apart()
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
