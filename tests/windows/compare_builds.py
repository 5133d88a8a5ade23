#!/usr/bin/env python3
"""Runs the Linux and the Windows programs (the latter through Wine) on the
calculator files of the given folders (the shared samples, the examples)
and compares what they print, their exit status and
every file they leave, byte for byte. Where Windows rightly differs the bytes
are brought together first: a saved Quillcast document has CR LF line ends on
Windows (and nowhere a bare LF), and the CF_DIB that Windows makes from a
placed bitmap clears the bits past the width and leaves the count of colours
used at 0 (in BMP files written from the clipboard and in the pictures of
documents). PNG files are compared by their pixels, which libpng and the
Windows Imaging Component compress each their own way. One sample of each
kind runs again under a Chinese file name, and a JPEG image becomes the same
picture on both.

With a DISPLAY on which a Wine desktop (explorer) runs, the Windows
clipboard is also checked from the X side with xclip.

    compare_builds.py <linux bin> <windows bin> <work folder> <folder of variable files>...
"""
import io
import os
import re
import shutil
import subprocess
import sys

from PIL import Image

LINUX_BIN, WINDOWS_BIN, WORK = sys.argv[1:4]
FOLDERS = sys.argv[4:]
# Calculator variable files end in .8?? or .9??.
VARIABLE_FILE = ("8", "9")
failures = []


def run(build, folder, program, args, clipboard_dir, stdin=b""):
    env = dict(os.environ, LC_ALL="C")
    if build == "linux":
        env.update(VARKIT_CLIPBOARD="files", VARKIT_CLIPBOARD_DIR=clipboard_dir)
        env.pop("DISPLAY", None)
        command = [os.path.join(LINUX_BIN, program)] + args
    else:
        # Wine reads the command line and file names in the locale's
        # character set: UTF-8 lets every name through.
        env.update(LC_ALL="C.UTF-8")
        command = ["wine", os.path.join(WINDOWS_BIN, program + ".exe")] + args
    done = subprocess.run(command, cwd=folder, env=env, input=stdin, capture_output=True,
                          timeout=120)
    return done.returncode, done.stdout, done.stderr


def normalize_dib(data, at, rows_at):
    """Clears in a DIB of 1 bit per pixel whose information header starts at
    `at` and rows at `rows_at` what the clipboards rightly make differently:
    the count of colours used and the bits past the width."""
    data[at + 32:at + 36] = b"\0\0\0\0"
    width = int.from_bytes(data[at + 4:at + 8], "little")
    height = int.from_bytes(data[at + 8:at + 12], "little", signed=True)
    row_bytes = (width + 31) // 32 * 4
    for row in range(abs(height)):
        for column in range(width, row_bytes * 8):
            byte = rows_at + row * row_bytes + column // 8
            if byte < len(data):
                data[byte] &= ~(0x80 >> column % 8) & 0xFF


def normalize_bmp(data):
    """A BMP file written from a clipboard bitmap."""
    data = bytearray(data)
    if len(data) >= 62 and data[:2] == b"BM":
        normalize_dib(data, 14, int.from_bytes(data[10:14], "little"))
    return bytes(data)


def normalize_rtf_pictures(data):
    """The pictures of a document, which come from the clipboard as DIBs
    written in hexadecimal: 40-byte header, two colours, rows."""
    def picture(match):
        dib = bytearray(bytes.fromhex(re.sub(rb"\s", b"", match.group(0)).decode()))
        if dib[:4] == b"\x28\0\0\0":
            normalize_dib(dib, 0, 48)
        return dib.hex().encode()
    return re.sub(rb"(?m)^[0-9a-f][0-9a-f\r\n]{95,}", picture, data)


def png_pixels(data):
    """What a PNG file shows: its mode, size and pixels."""
    image = Image.open(io.BytesIO(data))
    return repr((image.mode, image.size, image.tobytes())).encode()


def normalize(name, data, build):
    if name.endswith(".rtf"):
        if build == "windows":
            if b"\n" in data.replace(b"\r\n", b""):
                failures.append(f"{name}: a line feed without CR in the Windows document")
            data = data.replace(b"\r\n", b"\n")
        return normalize_rtf_pictures(data)
    if name.endswith(".bmp"):
        return normalize_bmp(data)
    if name.endswith(".png"):
        return png_pixels(data)
    return data


def folder_contents(folder, build):
    return {name: normalize(name, open(os.path.join(folder, name), "rb").read(), build)
            for name in sorted(os.listdir(folder))}


def steps_for(name):
    """The command lines run in turn on a copy of a sample: every program
    once, what it refuses included, and its output read back."""
    kind = name[-1].lower()
    steps = [
        ("Varlook", [name]),
        ("Plaincast", [name, "out.txt", "/S"]),
        ("Pixelcast", [name, "out.bmp", "/S", "/F#", "/B."]),
        ("Quillcast", [name, "out.rtf"]),
    ]
    if kind in "ts":
        steps.append(("Plainpress", ["back" + name[name.rfind("."):], "out.txt", "/N", "back"]))
    if kind == "i":
        steps.append(("Pixelpress", ["back" + name[name.rfind("."):], "out.bmp", "/C", "back"]))
        steps.append(("Pixelcast", [name, "out.png", "--no-clipboard"]))
        steps.append(("Pixelpress", ["png" + name[name.rfind("."):], "out.png", "/C", "back"]))
    steps.append(("Varlook", [name, "/N", "renamed", "/F", "other", "/C", "Renamed here"]))
    steps.append(("Varlook", [name]))
    return steps


def compare_sample(sample, name=None):
    """Runs the steps on a copy of the sample, named `name` or as it is."""
    name = name or os.path.basename(sample)
    label = os.path.join(os.path.basename(os.path.dirname(sample)), name)
    folders = {}
    for build in ("linux", "windows"):
        folder = os.path.join(WORK, build, label.replace("/", "_"))
        os.makedirs(folder)
        shutil.copy(sample, os.path.join(folder, name))
        folders[build] = folder
    compare_runs(label, folders, steps_for(name))


def compare_runs(label, folders, steps, own_inputs=()):
    """Runs the steps in each build's folder; their results and the files
    they leave must agree, but for the inputs each build was given its own
    of."""
    for program, args in steps:
        results = {build: run(build, folders[build], program, args,
                              folders["linux"] + "-clipboard") for build in folders}
        if results["linux"] != results["windows"]:
            failures.append(f"{label}: {program} {' '.join(args)}: Linux {results['linux']!r} "
                            f"but Windows {results['windows']!r}")
    linux = folder_contents(folders["linux"], "linux")
    windows = folder_contents(folders["windows"], "windows")
    if linux.keys() != windows.keys():
        failures.append(f"{label}: files {sorted(linux)} on Linux, {sorted(windows)} on Windows")
    for name in linux.keys() & windows.keys() - set(own_inputs):
        if linux[name] != windows[name]:
            failures.append(f"{label}: {name} differs")


def compare_jpeg():
    """A JPEG image becomes the same picture through libjpeg-turbo on Linux
    and the Windows Imaging Component on Windows. Its 8 x 8 blocks are each
    black or white, which JPEG keeps so nearly that no decoder puts a pixel
    on the other side of the threshold."""
    image = Image.new("L", (96, 64), 255)
    for y in range(0, 64, 8):
        for x in range(0, 96, 8):
            if (x * 7 + y * 3) % 5 < 2:
                image.paste(0, (x, y, x + 8, y + 8))
    folders = {}
    for build in ("linux", "windows"):
        folders[build] = os.path.join(WORK, build, "jpeg")
        os.makedirs(folders[build])
        image.save(os.path.join(folders[build], "blocks.jpg"), "JPEG", quality=90)
    compare_runs("JPEG", folders, [("Pixelpress", ["blocks.89i", "blocks.jpg"])], ["blocks.jpg"])


def make_symbols(folder):
    """symbols.89t, a TEXT variable holding 5→x, a≤b and π."""
    with open(os.path.join(folder, "symbols.txt"), "wb") as text:
        text.write(b"5\\\\22x\r\na\x9cb \x8c")
    run("linux", folder, "Plainpress", ["symbols.89t", "symbols.txt"], folder + "-clipboard")


def check_console(picture):
    """/S on a console (Wine's, on a terminal that script(1) gives) shows the
    calculator's characters and the block characters through the wide
    console interface; into a pipe it writes the bytes, as on Linux in the C
    locale."""
    folder = os.path.join(WORK, "console")
    os.makedirs(folder)
    shutil.copy(picture, folder)
    make_symbols(folder)
    rows = [("Plaincast", "symbols.89t", ["5\u2192x", "a\u2264b \u03c0"]),
            ("Pixelcast", os.path.basename(picture), ["\u2588\u2588"])]
    for program, name, shown in rows:
        command = f"wine {os.path.join(WINDOWS_BIN, program + '.exe')} {name} /S --no-clipboard"
        seen = subprocess.run(["script", "-qec", command, "/dev/null"], cwd=folder,
                              env=dict(os.environ, LC_ALL="C.UTF-8"), capture_output=True,
                              timeout=120).stdout
        if not all(text.encode("utf-8") in seen for text in shown):
            failures.append(f"console: {program} {name} /S showed {seen[:300]!r}, not {shown!r}")
    piped = {build: run(build, folder, "Plaincast", ["symbols.89t", "/S", "--no-clipboard"],
                        folder + "-clipboard") for build in ("linux", "windows")}
    if piped["linux"] != piped["windows"]:
        failures.append(f"console: /S into a pipe: Linux {piped['linux']!r}, Windows "
                        f"{piped['windows']!r}")


def xclip(*args, stdin=None):
    command = ["xclip", "-selection", "clipboard"] + list(args)
    if stdin is not None:
        # xclip -i stays behind to serve the selection: nothing may wait on it.
        subprocess.run(command + ["-i"], input=stdin, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        return b""
    return subprocess.run(command + ["-o"], capture_output=True, timeout=30).stdout


def check_clipboard(pictures):
    """The Windows clipboard seen from X11 through Wine's desktop."""
    folder = os.path.join(WORK, "clipboard")
    os.makedirs(folder)
    files_clipboard = os.path.join(folder, "files-clipboard")
    # Plaincast.exe's text reaches X11 in the calculator's characters: Wine
    # gives CF_UNICODETEXT as UTF8_STRING, with line feeds for CR LF.
    make_symbols(folder)
    status, _, err = run("windows", folder, "Plaincast", ["symbols.89t"], files_clipboard)
    expected = "5\u2192x\na\u2264b \u03c0".encode("utf-8")
    if status != 0 or xclip() != expected:
        failures.append(f"clipboard: Plaincast.exe symbols.89t gave {xclip()!r} on X11, "
                        f"expected {expected!r} ({err!r})")
    # Unicode text placed by xclip, imported by Plainpress.exe as Plainpress
    # imports the calculator's bytes of the same text from its clipboard
    # folder.
    placed = "line1\nC:run\nB:\\\\12 \u2264\u00e9 5\u2192x".encode("utf-8")
    os.makedirs(files_clipboard, mode=0o700, exist_ok=True)
    with open(os.path.join(files_clipboard, "text.txt"), "wb") as text:
        text.write(b"line1\r\nC:run\r\nB:\\\\12 \x9c\xe9 5\\\\22x")
    xclip(stdin=placed)
    imports = import_in_each("xclip", "notes.89t", lambda build, where: [
        run(build, where, "Plainpress", ["notes.89t"], files_clipboard)])
    if imports:
        failures.append(f"clipboard: text placed by xclip: {imports}")
    # A picture placed by Pixelcast.exe comes back through Pixelpress.exe.
    for sample in pictures:
        name = os.path.basename(sample)
        back = "back.89i"

        def cast_and_press(build, where):
            shutil.copy(sample, where)
            cast = run(build, where, "Pixelcast", [name], files_clipboard)
            if build == "windows" and b"image/bmp" not in xclip("-t", "TARGETS").split():
                failures.append(f"clipboard: no image/bmp on X11 after Pixelcast.exe {name}")
            return [cast, run(build, where, "Pixelpress", [back, "/C", "back"], files_clipboard)]

        pictures_back = import_in_each(name, back, cast_and_press)
        if pictures_back:
            failures.append(f"clipboard: {name} through Pixelcast and Pixelpress: {pictures_back}")


def import_in_each(key, made, steps):
    """Runs steps(build, folder) for each build in a folder of its own (named
    after `key`) and
    compares what they printed and the file `made`; a description of the
    difference, or nothing."""
    outcome = {}
    for build in ("linux", "windows"):
        where = os.path.join(WORK, "clipboard", build + "-" + key)
        os.makedirs(where)
        results = steps(build, where)
        path = os.path.join(where, made)
        outcome[build] = (results, open(path, "rb").read() if os.path.exists(path) else None)
    if outcome["linux"][1] is None or outcome["linux"] != outcome["windows"]:
        return f"Linux {outcome['linux']!r}, Windows {outcome['windows']!r}"
    return None


def main():
    samples = sorted(os.path.join(root, name) for folder in FOLDERS if os.path.isdir(folder)
                     for root, _, names in os.walk(folder) for name in names
                     if len(name) > 4 and name[-4] == "." and name[-3] in VARIABLE_FILE)
    if not samples:
        print(f"no variable files in {' '.join(FOLDERS)}: nothing compared")
        return 1
    for sample in samples:
        compare_sample(sample)
    # Names in any script reach the Windows programs and their files.
    for kind in "ti":
        first = next(s for s in samples if s[-1].lower() == kind and s[-3] in "89")
        compare_sample(first, "\u7b14\u8bb0" + first[first.rfind("."):])
    compare_jpeg()
    check_console(next(s for s in samples if s.endswith("smiley.9xi")))
    if os.environ.get("DISPLAY"):
        check_clipboard([s for s in samples if s[-1].lower() == "i"])
    for failure in failures:
        print("Mismatch:", failure[:2000])
    print(f"{len(samples)} samples compared, {len(failures)} mismatches")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
