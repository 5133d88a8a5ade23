#!/usr/bin/env python3
"""Runs every writing program under strace's fault injection and checks what
the suite promises whatever fails: status 0 means the outputs equal those of
the run without faults; any other status means a failure line, each output
either as it was before or as the run without faults leaves it, never a part
of one, and no temporary file left anywhere. Further rows check links, modes,
signals, standard output, a stopped X server, a FIFO in the clipboard folder,
sizes the data cannot fill, terminal output, hostile inputs that must stay
cheap or must not become structure in another format, and concurrent runs.

With --windows, BIN_DIR holds the Windows programs, which run through Wine:
their rows check interruption by the console's Ctrl-C, a read-only output, a
link and the NUL device.

usage: fault_injection.py BIN_DIR EXAMPLES_DIR [--quick | --windows]
"""
import os
import pty
import re
import resource
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from concurrent.futures import ThreadPoolExecutor

BIN, EXAMPLES = sys.argv[1], sys.argv[2]
# The sanitizer build skips the injected runs and the concurrent ones.
QUICK = "--quick" in sys.argv
WINDOWS = "--windows" in sys.argv
# How a Windows console program ends on Ctrl-C (0xC000013A), as Wine hands
# its exit status to Unix.
CONTROL_C_EXIT = 0x3A
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
        if WINDOWS:
            # Wine keeps files of its own there; the programs' scratch files
            # go to the prefix's temporary folder, which test-windows.sh checks.
            del env["TMPDIR"]
        env.update(extra)
        return env

    def leftovers(self):
        found = [n for n in os.listdir(self.path) if n.startswith(".varkit-")]
        found += os.listdir(self.tmp)
        if os.path.isdir(self.clip):
            found += [n for n in os.listdir(self.clip) if n.startswith(".incoming-")]
        return found

    def run(self, program, args, strace=(), **kwargs):
        command = list(strace) + program_command(program) + args
        kwargs.setdefault("env", self.env())
        kwargs.setdefault("timeout", 60)
        return subprocess.run(command, cwd=self.path, capture_output=True, **kwargs)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def program_command(program):
    if WINDOWS:
        return ["wine", os.path.join(BIN, program + ".exe")]
    return [os.path.join(BIN, program)]


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
INJECTED = [] if QUICK or WINDOWS else [
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
    """A run ended while its output waits to be renamed leaves no temporary
    file and the old output. On Windows the console's Ctrl-C ends it, which
    Wine makes of SIGINT; its handler runs on a thread of its own, which the
    run's last step may outpace: the output is then the complete new one."""
    cases = [("Plainpress", ["out.89t", "notes.txt"], {"notes.txt": example("notes.txt")},
              "out.89t"),
             ("Quillcast", ["pendulum.9xr", "out.rtf"], {"pendulum.9xr": example("pendulum.9xr")},
              "out.rtf")]
    numbers = [signal.SIGINT] if WINDOWS else [signal.SIGTERM, signal.SIGINT, signal.SIGHUP]
    for program, args, inputs, output in cases:
        whole = Folder(inputs)
        whole.run(program, args)
        allowed = [b"old", whole.get(output)] if WINDOWS else [b"old"]
        whole.remove()
        for number in numbers:
            f = Folder(inputs)
            f.put(output, b"old")
            strace = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=fsync",
                      "-e", "inject=fsync:delay_enter=1000000:when=1"]
            process = subprocess.Popen(strace + program_command(program) + args,
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
            ended = CONTROL_C_EXIT if WINDOWS else -number
            check(process.returncode == ended, f"{program} ends by signal {number}")
            check(f.leftovers() == [], f"{program} after signal {number}: {f.leftovers()}")
            check(f.get(output) in allowed, f"{program}: old output kept")
            f.remove()


def console_interrupt_while_waiting():
    """Ctrl-C while Quillcast.exe waits for the clipboard, which another
    program holds, with its document half written: the console control
    handler removes the temporary file while the run is still at work."""
    f = Folder({"pendulum.9xr": example("pendulum.9xr"), "out.rtf": b"old"})
    env = f.env()
    del env["VARKIT_CLIPBOARD"]
    holder = subprocess.Popen(
        ["wine", os.path.join(BIN, "windows_tests.exe"), "--gtest_also_run_disabled_tests",
         "--gtest_filter=Win32ClipboardHeld.*"], env=env, stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL)
    while b"holding the clipboard" not in holder.stdout.readline():
        pass
    process = subprocess.Popen(program_command("Quillcast") + ["pendulum.9xr", "out.rtf"],
                               cwd=f.path, env=env, stderr=subprocess.DEVNULL)
    deadline = time.time() + 10
    while not [n for n in f.leftovers() if n.startswith(".varkit-")] and time.time() < deadline:
        time.sleep(0.02)
    time.sleep(0.2)
    os.kill(process.pid, signal.SIGINT)
    process.wait(timeout=30)
    holder.communicate(timeout=30)
    check(process.returncode == CONTROL_C_EXIT, f"Quillcast.exe ends by Ctrl-C: {process.returncode}")
    check(f.leftovers() == [], f"Quillcast.exe after Ctrl-C: {f.leftovers()}")
    check(f.get("out.rtf") == b"old", "Quillcast.exe after Ctrl-C: old output kept")
    f.remove()


def windows_outputs():
    """On Windows a replaced read-only output stays read-only (Wine shows the
    attribute as the file's mode), a symbolic link is written through, and
    NUL takes an output, also as a standard output that is no terminal."""
    f = Folder({"notes.89t": example("notes.89t"), "smiley.9xi": example("smiley.9xi"),
                "locked.txt": b"old", "real.txt": b"old"})
    os.chmod(os.path.join(f.path, "locked.txt"), 0o444)
    os.symlink("real.txt", os.path.join(f.path, "link.txt"))
    text = f.run("Plaincast", ["notes.89t", "plain.txt"]) and f.get("plain.txt")
    check(f.run("Plaincast", ["notes.89t", "locked.txt"]).returncode == 0 and
          f.get("locked.txt") == text, "read-only output replaced")
    check(os.stat(os.path.join(f.path, "locked.txt")).st_mode & 0o222 == 0,
          "replaced output stays read-only")
    check(f.run("Plaincast", ["notes.89t", "link.txt"]).returncode == 0 and
          os.path.islink(os.path.join(f.path, "link.txt")) and f.get("real.txt") == text,
          "link: written through")
    nul = f.run("Plaincast", ["notes.89t", "NUL"])
    check(nul.returncode == 0 and not [n for n in os.listdir(f.path) if n.lower() == "nul"],
          f"NUL as an output: {nul.stderr!r}")
    pixelcast = "Z:" + os.path.join(os.path.abspath(BIN), "Pixelcast.exe").replace("/", "\\")
    redirected = subprocess.run(["wine", "cmd", "/c", pixelcast, "smiley.9xi", "-", ">", "NUL"],
                                cwd=f.path, env=f.env(), capture_output=True, timeout=60)
    check(redirected.returncode == 0 and b"Image copied to standard output." in redirected.stderr,
          f"standard output redirected to NUL: {redirected.stderr!r}")
    check(f.leftovers() == [], f"Windows outputs: {f.leftovers()}")
    f.remove()


# A size the data cannot fill must be refused before it is allocated. The
# sanitizers reserve more address space than this, so their build runs free.
MEMORY_LIMIT = {} if QUICK else {"preexec_fn": lambda: resource.setrlimit(
    resource.RLIMIT_AS, (256 << 20, 256 << 20))}


def start_xvfb():
    """An X server of our own and its display name."""
    read_end, write_end = os.pipe()
    # -noreset: a server that resets when its last client leaves briefly
    # refuses connections.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                             "-noreset"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end, "rb") as report:
        display = report.readline().decode().strip()
    return xvfb, ":" + display


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
        xvfb, display = start_xvfb()
        os.kill(xvfb.pid, signal.SIGSTOP)
        result = f.run("Plaincast", ["notes.89t", "out.txt"], timeout=20,
                       env=f.env(DISPLAY=display, VARKIT_CLIPBOARD="x11"))
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
    # On a terminal the comment's C0 and C1 controls show as '?' (in a UTF-8
    # locale the calculator's characters, no control among them); in a pipe
    # the bytes are as they are.
    f.run("Varlook", ["notes.89t", "/C", b"a\x1b]0;title\x07b\x9b2Jc\rd"])
    piped = f.run("Varlook", ["notes.89t"])
    check(b"a\x1b]0;title\x07b\x9b2Jc\rd" in piped.stdout, "control bytes exact in a pipe")
    shown = on_terminal(f, ["Varlook", "notes.89t"], "C")
    check(b"a?]0;title?b?2Jc?d" in shown and b"\x1b" not in shown and b"\x9b" not in shown,
          "control bytes as ? on a terminal")
    shown = on_terminal(f, ["Varlook", "notes.89t"], "C.UTF-8")
    check("a\u2b06]0;title?b\u02332Jc?d".encode() in shown and b"\x1b" not in shown and
          b"\xc2\x9b" not in shown, "calculator characters, no controls, on a UTF-8 terminal")
    f.remove()


def on_terminal(f, command, locale):
    """What a program writes to a terminal."""
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(f.path)
        os.execve(os.path.join(BIN, command[0]), command, f.env(LC_ALL=locale))
    shown = b""
    try:
        while piece := os.read(terminal, 4096):
            shown += piece
    except OSError:  # the terminal closes with the run
        pass
    os.waitpid(pid, 0)
    return shown


# ---- Hostile inputs: one row per finding of the second hostile round --------
# A small hostile file costs tens of megabytes and a moment at most: each run
# is stopped after a few seconds of processor time, and (but in the
# sanitizer build, whose shadow memory counts too) its peak memory is checked.
MOST_MEMORY = 64 << 20
MOST_CPU_SECONDS = 30 if QUICK else 3


def measured(f, program, args, stdin=subprocess.DEVNULL, env=None):
    """A run's result and its peak memory in bytes."""
    def limit_cpu():
        resource.setrlimit(resource.RLIMIT_CPU, (MOST_CPU_SECONDS, MOST_CPU_SECONDS + 1))
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen([os.path.join(BIN, program)] + args, cwd=f.path,
                                   env=env or f.env(), stdin=stdin, stdout=out, stderr=err,
                                   preexec_fn=limit_cpu)
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        result = subprocess.CompletedProcess(args, process.returncode, out.read(), err.read())
    return result, usage.ru_maxrss * 1024


def cheap(memory):
    return QUICK or memory <= MOST_MEMORY


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def grey_png(width, height, image_data, before_data=b""):
    header = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + before_data +
            png_chunk(b"IDAT", image_data) + png_chunk(b"IEND", b""))


def black_rows(width, height):
    return (b"\0" + bytes(width)) * height


def rows_then_zeros(rows, blocks):
    """A zlib stream of the rows and then blocks of 16 MB of zeros, made from
    one compressed block repeated (a full flush makes each the same)."""
    compressor = zlib.compressobj(9)
    head = compressor.compress(rows) + compressor.flush(zlib.Z_FULL_FLUSH)
    block = compressor.compress(bytes(1 << 24)) + compressor.flush(zlib.Z_FULL_FLUSH)
    end = compressor.flush()[:-4]
    # Adler-32 over zeros: the first sum stays, the second grows by it.
    adler = zlib.adler32(rows)
    low, high = adler & 0xFFFF, adler >> 16
    high = (high + blocks * (1 << 24) * low) % 65521
    return head + block * blocks + end + struct.pack(">I", (high << 16) | low)


def rle4_bmp(width, height):
    """A 4-bit run-length BMP of that size in a few bytes: one run, then its end."""
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 2, 0, 0, 0, 0, 0)
    table = bytes([0, 0, 0, 0, 255, 255, 255, 0]) + bytes(14 * 4)
    rows = bytes([4, 0x01, 0, 1])
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + table + rows


def jpeg_header(side):
    """A JPEG of side x side pixels in a few bytes: its start, frame and scan headers."""
    frame = struct.pack(">BHHB", 8, side, side, 1) + bytes([1, 0x11, 0])
    scan = bytes([1, 1, 0, 0, 63, 0])
    return (b"\xff\xd8\xff\xc0" + struct.pack(">H", 2 + len(frame)) + frame +
            b"\xff\xda" + struct.pack(">H", 2 + len(scan)) + scan)


def gif_header(side):
    """A GIF of side x side pixels in a few bytes: its screen and first frame's header."""
    size = struct.pack("<HH", side, side)
    return b"GIF89a" + size + bytes(3) + b"\x2c" + bytes(4) + size + b"\0\x02"


def webp_header(side):
    """A lossless WebP of side x side pixels in a few bytes: its header alone."""
    size = (side - 1) | (side - 1) << 14
    chunk = b"VP8L" + struct.pack("<IBI", 5, 0x2F, size) + b"\0"
    return b"RIFF" + struct.pack("<I", 4 + len(chunk)) + b"WEBP" + chunk


def variable_file(type_code, data, signature=b"**TI89**"):
    header = (signature + struct.pack("<H", 1) + b"main".ljust(8, b"\0") + bytes(40) +
              struct.pack("<HI", 1, 82) + b"v".ljust(8, b"\0") + bytes([type_code, 0, 0, 0]) +
              struct.pack("<I", len(data) + 90) + b"\xa5\x5a" + bytes(4) +
              struct.pack(">H", len(data)))
    checksum = (sum(data) + (len(data) >> 8) + (len(data) & 0xFF)) & 0xFFFF
    return header + data + struct.pack("<H", checksum)


def lab_report_file(text, string):
    """A TI-92 Plus group: folder main, the report, a string named s."""
    entries = [(b"main", 31, None), (b"lab", 139, b"\0\1" + text + b"\0\xe0"),
               (b"s", 12, b"\0" + string + b"\0\x2d")]
    table_end = 64 + 16 * len(entries)
    offset = table_end + 2
    table, blocks = b"", b""
    for name, type_code, data in entries:
        if data is not None:
            blocks += bytes(4) + struct.pack(">H", len(data)) + data + b"\0\0"
            offset = table_end + 2 + len(blocks)
        table += name.ljust(8, b"\0") + bytes([type_code, 0, 0, 0]) + struct.pack("<I", offset)
    return (b"**TI92P*" + struct.pack("<H", 1) + bytes(48) +
            struct.pack("<HI", len(entries), table_end + 2) + table + b"\xa5\x5a" + blocks)


def body_of(document):
    return document[document.index(b"\\endnhere"):]


def groups_hold(document):
    """Whether the document's outermost group closes at its last byte only."""
    depth, i = 0, 0
    while i < len(document):
        c = document[i:i + 1]
        if c == b"\\":
            i += 2
            continue
        depth += {b"{": 1, b"}": -1}.get(c, 0)
        if depth == 0 and i < len(document) - 1:
            return False
        i += 1
    return depth == 0


def hostile_inputs():
    f = Folder({"keep.89t": example("notes.89t"), "smiley.9xi": example("smiley.9xi")})
    os.mkdir(f.clip, 0o700)
    f.put("clip/text.txt", b"from the clipboard")

    # 2: a mistyped text file name never replaces an existing output.
    result = f.run("Plainpress", ["keep.89t", "notse.txt"])
    check(result.returncode == 1 and f.get("keep.89t") == example("notes.89t") and
          result.stderr == b"Error: can't open input file notse.txt.\nError: keep.89t was not "
          b"replaced: its text file could not be opened.\n", "typo keeps the output")
    result = f.run("Plainpress", ["new.89t", "notse.txt"])
    check(result.returncode == 1 and result.stderr.endswith(b"Done!\n") and
          b"from the clipboard" in f.get("new.89t"), "typo: a new output from the clipboard")

    # 3: a thousand zTXt chunks of 2 MB each, a 10 x 10 image after them.
    text = png_chunk(b"zTXt", b"k\0\0" + zlib.compress(bytes(2 << 20), 9))
    f.put("text.png", grey_png(10, 10, zlib.compress(black_rows(10, 10)), text * 1000))
    # 5: a 10 x 10 image whose data goes on for 4 GB of zeros.
    f.put("long.png", grey_png(10, 10, rows_then_zeros(black_rows(10, 10), 256)))
    for name in ["text.png", "long.png"]:
        result, memory = measured(f, "Pixelpress", ["out.89i", name])
        check(result.returncode == 0 and cheap(memory), f"{name}: {result.returncode}, "
              f"{memory >> 20} MB")
    # The same text chunks from the X11 clipboard's image/png.
    if shutil.which("Xvfb") and shutil.which("xclip"):
        xvfb, display = start_xvfb()
        subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-i", "text.png"],
                       cwd=f.path, env=f.env(DISPLAY=display), stderr=subprocess.DEVNULL,
                       check=True)
        result, memory = measured(f, "Pixelpress", ["out.89i"],
                                  env=f.env(DISPLAY=display, VARKIT_CLIPBOARD="x11"))
        check(result.returncode == 0 and cheap(memory),
              f"text.png from the X11 clipboard: {result.stderr} {memory >> 20} MB")
        xvfb.terminate()
        xvfb.wait()
    # 4: sizes refused by the header: 8192 x 4096 in 4 KB; 5792 x 5792 in RLE4
    # beyond --fit's limit; 2048 x 2048 in RLE4 scaled down; JPEG, GIF and
    # WebP headers beyond --fit's limit.
    f.put("big.png", grey_png(8192, 4096, zlib.compress(black_rows(8192, 4096))[:4096]))
    f.put("big.bmp", rle4_bmp(5792, 5792))
    f.put("fit.bmp", rle4_bmp(2048, 2048))
    f.put("big.jpg", jpeg_header(65000))
    f.put("big.gif", gif_header(65000))
    f.put("big.webp", webp_header(16384))
    too_large = [(["out.89i", name, "--fit"], 1,
                  f"Error: {name} is {side}x{side} pixels, too large to scale down.\n".encode())
                 for name, side in [("big.jpg", 65000), ("big.gif", 65000), ("big.webp", 16384)]]
    for args, status, message in too_large + [
            (["out.89i", "big.png"], 1, b"Error: big.png is 8192x4096 pixels, larger than 239x103 "
             b"(--fit scales it down).\n"),
            (["out.89i", "big.bmp", "--fit"], 1,
             b"Error: big.bmp is 5792x5792 pixels, too large to scale down.\n"),
            (["out.89i", "fit.bmp", "--fit"], 0, b"fit.bmp image copied to out.89i.\n")]:
        result, memory = measured(f, "Pixelpress", args)
        check(result.returncode == status and result.stderr == message and cheap(memory),
              f"{args}: {result.returncode} {result.stderr}, {memory >> 20} MB")
    # 5: standard input that is no image is refused by its first bytes.
    with open("/dev/zero", "rb") as zeros:
        result, memory = measured(f, "Pixelpress", ["out.89i", "-"], stdin=zeros)
    check(result.stderr == b"Error: Standard input is not a bitmap.\n" and cheap(memory),
          f"zeros on standard input: {memory >> 20} MB")

    # 6: a report naming one string of 65,000 bytes 1,100 times (72 MB).
    f.put("long.9xr", lab_report_file(b" x" + b"\rPs" * 1100, b"a" * 65000))
    result, memory = measured(f, "Quillcast", ["long.9xr", "long.rtf"])
    check(result.returncode == 1 and f.get("long.rtf") is None and cheap(memory) and
          result.stderr.endswith(b"Error: Document too large: more than 64 MB.\n"),
          f"document limit: {result.stderr}")
    # 7 and 8: a field through the literal escape, a brace as a font number.
    field = (b' \x0e{\x0e\\field\x0e{\x0e\\*\x0e\\fldinst HYPERLINK "http://example.com/"\x0e}'
             b"\x0e{\x0e\\fldrslt here\x0e}\x0e}\x0e\\b bold")
    f.put("field.89t", variable_file(11, b"\0\1" + field + b"\0\xe0"))
    f.put("brace.89s", variable_file(12, b"\0a\x7ff}b\x7ff2c\0\x2d"))
    for name, formatting in [("field.89t", b"\\b bold"), ("brace.89s", b"a\\}b\\f2 c")]:
        result = f.run("Quillcast", [name, "out.rtf"])
        document = f.get("out.rtf") or b""
        check(result.returncode == 0 and groups_hold(document) and formatting in document and
              not re.search(rb"(?<!\\)\\(field|fldinst|fldrslt|\*)", body_of(document)),
              f"{name}: structure of its own in {document[-200:]}")

    # 10: a refused character that would reorder the line is named, not shown.
    f.put("rtl.txt", "ab\u202ec".encode())
    result = f.run("Plainpress", ["rtl.89t", "rtl.txt", "--utf8"])
    check(result.stderr == b'Error: "U+202E" (line 1) has no calculator character.\n',
          f"U+202E named: {result.stderr}")

    # 11: a failed standard output is reported once.
    with open("/dev/full", "wb") as full:
        result = subprocess.run([os.path.join(BIN, "Pixelcast"), "smiley.9xi", "-"], cwd=f.path,
                                env=f.env(), stdout=full, stderr=subprocess.PIPE)
    check(result.returncode == 1 and
          result.stderr.count(b"Error: Can't write to standard output.\n") == 1, "one stdout error")
    check(f.leftovers() == [], f"hostile inputs left {f.leftovers()}")
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
    if WINDOWS:
        windows_outputs()
        signals_remove_temporaries()
        console_interrupt_while_waiting()
        print(f"{len(failures)} failures")
        return 1 if failures else 0
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
    hostile_inputs()
    if not QUICK:
        concurrent_pictures_stay_apart()
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
