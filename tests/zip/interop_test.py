#!/usr/bin/env python3
"""Interoperability of the program's zip library with the common zip tools.

Archives written by Info-ZIP, 7-Zip, Python's zipfile and bsdtar are listed,
tested and extracted by the library's test driver (run under wine) and must
come out byte-exact; archives the driver writes must pass each tool's test and
extract byte-exact with each tool. Hostile archives must fail with the
library's causes and stay unchanged.

usage: interop_test.py WINE_RUN ZIPDRIVER_EXE_SO [SECTION ...]
(sections: reading writing replacing hostile parallel; all when none is named)
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

WINE_RUN, DRIVER = sys.argv[1], sys.argv[2]
ENV = dict(os.environ, TZ="UTC", LC_ALL="C.UTF-8")
PASSWORD = "Pa55-word"
failures = []


def check(condition, what):
    what = " ".join(what.split())
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def run(args, cwd=None):
    # Output through a file: wine is slow to end when its output is a pipe.
    with tempfile.TemporaryFile() as out:
        p = subprocess.run(args, cwd=cwd, env=ENV, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        out.seek(0)
        return p.returncode, out.read().decode("utf-8", "replace")


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def driver(*args):
    converted = [a if a.startswith("--") or not a.startswith("/") else win(a) for a in args]
    return run([WINE_RUN, DRIVER] + converted)


def tree_digest(root):
    """Relative paths of folders and files with the files' hashes."""
    result = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        if rel != ".":
            result[rel + "/"] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                result[os.path.normpath(os.path.join(rel, name))] = hashlib.sha256(f.read()).hexdigest()
    return result


def file_digests(root):
    """Hashes of the files only, without names (for tools that mangle names)."""
    return sorted(v for v in tree_digest(root).values() if v)


def join_split(paths):
    """One archive from the volumes of a split archive (Info-ZIP's own join
    loses data that spans more than two volumes)."""
    import struct
    volumes = [open(p, "rb").read() for p in paths]
    assert volumes[0][:4] == b"PK\x07\x08"
    starts, position = [], -4
    for v in volumes:
        starts.append(position)
        position += len(v)
    joined = bytearray(b"".join(volumes)[4:])
    last = volumes[-1]
    end = last.rfind(b"PK\x05\x06")
    _, cd_disk, _, total, cd_size, cd_offset = struct.unpack("<HHHHII", last[end + 4:end + 20])
    cd_start = starts[cd_disk] + cd_offset
    p = cd_start
    for _ in range(total):
        assert joined[p:p + 4] == b"PK\x01\x02"
        n, m, k, disk = struct.unpack("<HHHH", joined[p + 28:p + 36])
        offset = struct.unpack("<I", joined[p + 42:p + 46])[0]
        joined[p + 34:p + 36] = b"\0\0"
        joined[p + 42:p + 46] = struct.pack("<I", starts[disk] + offset)
        p += 46 + n + m + k
    comment = last[end + 22:]
    return bytes(joined[:cd_start + cd_size]) + b"PK\x05\x06" + struct.pack(
        "<HHHHIIH", 0, 0, total, total, cd_size, cd_start, len(comment)) + comment


def make_tree(root, unicode_names=True):
    rnd = random.Random(7)
    os.makedirs(os.path.join(root, "docs", "deep", "deeper"))
    os.makedirs(os.path.join(root, "empty folder"))
    with open(os.path.join(root, "random.bin"), "wb") as f:
        f.write(bytes(rnd.getrandbits(8) for _ in range(150000)))
    with open(os.path.join(root, "docs", "text.txt"), "w") as f:
        f.write("".join("line %d of the text\n" % i for i in range(20000)))
    with open(os.path.join(root, "docs", "deep", "deeper", "tiny.txt"), "wb") as f:
        f.write(b"abc")
    open(os.path.join(root, "docs", "empty.txt"), "wb").close()
    with open(os.path.join(root, "repeat.dat"), "wb") as f:
        f.write(b"\0" * 300000)
    if unicode_names:
        with open(os.path.join(root, "docs", "Привет мир.txt"), "w") as f:
            f.write("hello\n")
        with open(os.path.join(root, "日本語.bin"), "wb") as f:
            f.write(bytes(range(256)) * 10)


def fresh(base, name):
    path = os.path.join(base, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def driver_reads(work, archive, expected, label, extra=()):
    rc, out = driver("test", archive, *extra)
    check(rc == 0, "%s: driver tests it (%s)" % (label, out.strip()[:200]))
    rc, out = driver("list", archive, *extra)
    check(rc == 0, "%s: driver lists it" % label)
    target = fresh(work, "out-" + label)
    rc, out = driver("unpack", archive, target, *extra)
    check(rc == 0, "%s: driver extracts it (%s)" % (label, out.strip()[:200]))
    got = tree_digest(target)
    if got != expected:
        print("  expected:", sorted(expected.items()))
        print("  got:     ", sorted(got.items()))
    check(got == expected, "%s: extracted byte-exact" % label)
    return out


def reading_cases(work):
    src_parent = os.path.join(work, "src")
    tree = os.path.join(src_parent, "tree")
    make_tree(tree)
    expected = {"tree/": None}
    expected.update({"tree/" + k: v for k, v in tree_digest(tree).items()})
    fx = os.path.join(work, "fixtures")
    os.makedirs(fx)

    def z(*args):
        rc, out = run(list(args), cwd=src_parent)
        assert rc == 0, (args, out)

    # Info-ZIP
    z("zip", "-q", "-r", fx + "/iz-plain.zip", "tree")
    z("zip", "-q", "-r", "-0", fx + "/iz-stored.zip", "tree")
    z("zip", "-q", "-r", "-9", fx + "/iz-best.zip", "tree")
    z("zip", "-q", "-r", "-P", PASSWORD, fx + "/iz-password.zip", "tree")
    with open(fx + "/iz-streamed.zip", "wb") as f:
        f.write(subprocess.run(["zip", "-q", "-r", "-", "tree"], cwd=src_parent, env=ENV,
                               stdout=subprocess.PIPE).stdout)
    z("zip", "-q", "-r", "-s", "64k", fx + "/iz-split.zip", "tree")
    z("zip", "-q", "-r", fx + "/iz-comments.zip", "tree")
    lines = "".join("comment %d\n" % i for i in range(20)).encode()
    subprocess.run(["zip", "-q", "-c", fx + "/iz-comments.zip", "tree/random.bin", "tree/docs/text.txt"],
                   input=lines, env=ENV, check=True)
    subprocess.run(["zip", "-q", "-z", fx + "/iz-comments.zip"], input=b"The archive's comment\n", env=ENV,
                   check=True)
    with open(fx + "/iz-plain.zip", "rb") as f:
        plain = f.read()
    with open(fx + "/iz-stub.zip", "wb") as f:
        f.write(b"MZ stub that runs before the archive\0" * 40 + plain)
    shutil.copy(fx + "/iz-stub.zip", fx + "/iz-stub-adjusted.zip")
    z("zip", "-q", "-A", fx + "/iz-stub-adjusted.zip")
    # A file streamed from standard input: Info-ZIP adds Zip64 records it does not need.
    with open(os.path.join(tree, "random.bin"), "rb") as f:
        data = f.read()
    subprocess.run(["zip", "-q", fx + "/iz-stdin.zip", "-"], input=data, env=ENV, check=True)

    # 7-Zip
    z("7z", "a", "-tzip", "-bd", fx + "/7z-plain.zip", "tree")
    z("7z", "a", "-tzip", "-bd", "-mx0", fx + "/7z-store.zip", "tree")
    z("7z", "a", "-tzip", "-bd", "-p" + PASSWORD, "-mem=ZipCrypto", fx + "/7z-password.zip", "tree")
    z("7z", "a", "-tzip", "-bd", "-v100k", fx + "/7z-binsplit.zip", "tree")
    volumes = sorted(n for n in os.listdir(fx) if n.startswith("7z-binsplit.zip."))

    # Python
    def py_write(target, mode):
        with zipfile.ZipFile(target, mode="w", compression=zipfile.ZIP_DEFLATED) as out:
            for folder, dirs, files in os.walk(tree):
                rel = os.path.relpath(folder, src_parent)
                out.write(folder, rel + "/")
                for name in sorted(files):
                    out.write(os.path.join(folder, name), os.path.join(rel, name))

    py_write(fx + "/py-seekable.zip", "w")

    class Unseekable:
        def __init__(self, f):
            self.f = f

        def write(self, b):
            return self.f.write(b)

        def flush(self):
            self.f.flush()

    with open(fx + "/py-streamed.zip", "wb") as raw:
        py_write(Unseekable(raw), "w")

    # bsdtar: "./" names and the traditional encryption
    z("bsdtar", "-a", "-cf", fx + "/bsdtar.zip", "./tree")
    z("bsdtar", "--options", "zip:encryption=zipcrypt", "--passphrase", PASSWORD, "-a", "-cf",
      fx + "/bsdtar-zipcrypt.zip", "./tree")

    cases = [
        ("iz-plain", "iz-plain.zip", ()), ("iz-stored", "iz-stored.zip", ()), ("iz-best", "iz-best.zip", ()),
        ("iz-password", "iz-password.zip", ("--password", PASSWORD)), ("iz-streamed", "iz-streamed.zip", ()),
        ("iz-split", "iz-split.zip", ()), ("iz-comments", "iz-comments.zip", ()), ("iz-stub", "iz-stub.zip", ()),
        ("iz-stub-adjusted", "iz-stub-adjusted.zip", ()),
        ("7z-plain", "7z-plain.zip", ()), ("7z-store", "7z-store.zip", ()),
        ("7z-password", "7z-password.zip", ("--password", PASSWORD)),
        ("7z-binsplit", volumes[-1], ("--binsplit",)),
        ("py-seekable", "py-seekable.zip", ()), ("py-streamed", "py-streamed.zip", ()),
        ("bsdtar", "bsdtar.zip", ()), ("bsdtar-zipcrypt", "bsdtar-zipcrypt.zip", ("--password", PASSWORD)),
    ]
    check(len(volumes) > 1, "7-Zip wrote a binary split archive in %d volumes" % len(volumes))
    check(len([n for n in os.listdir(fx) if n.startswith("iz-split.z")]) > 1, "Info-ZIP wrote a split archive")
    for label, name, extra in cases:
        out = driver_reads(work, os.path.join(fx, name), expected, label, extra)
    rc, out = driver("list", os.path.join(fx, "iz-comments.zip"))
    check("archive comment: The archive's comment" in out and "comment: comment 0" in out,
          "iz-comments: archive and entry comments are read")
    target = fresh(work, "out-iz-stdin")
    rc, out = driver("unpack", os.path.join(fx, "iz-stdin.zip"), target)
    check(rc == 0 and tree_digest(target) == {"-": hashlib.sha256(data).hexdigest()},
          "iz-stdin: a streamed file is extracted byte-exact (%s)" % out.strip()[:200])
    rc, out = driver("test", os.path.join(fx, "7z-password.zip"), "--password", "wrong")
    check(rc == 1 and "zip error 213" in out or "zip error 202" in out or "zip error 504" in out,
          "7z-password: a wrong password fails with the library's cause")


def writing_cases(work):
    src_parent = os.path.join(work, "wsrc")
    tree = os.path.join(src_parent, "tree")
    make_tree(tree)
    expected = tree_digest(tree)
    out = os.path.join(work, "written")
    os.makedirs(out)

    def pack(name, *extra):
        archive = os.path.join(out, name)
        rc, text = driver("pack", archive, tree, *extra)
        check(rc == 0, "pack %s %s (%s)" % (name, " ".join(extra), text.strip()[:200]))
        return archive

    plain = pack("plain.zip")
    password = pack("password.zip", "--password", PASSWORD, "--rules", "7")
    split = pack("split.zip", "--split", "65536")
    binsplit = pack("binsplit.zip", "--binsplit", "65536")
    split_parts = sorted(n for n in os.listdir(out) if n.startswith("split.z"))
    bin_parts = sorted(n for n in os.listdir(out) if n.startswith("binsplit.zip."))
    check(len(split_parts) > 2 and "split.zip" in split_parts, "split archive in volumes: %s" % split_parts)
    check(len(bin_parts) > 2, "binary split archive in volumes: %s" % bin_parts)

    # Joined forms for the tools that read one file only.
    joined_split = os.path.join(out, "split-joined.zip")
    with open(joined_split, "wb") as f:
        f.write(join_split([os.path.join(out, n) for n in split_parts]))
    joined_bin = os.path.join(out, "binsplit-joined.zip")
    with open(joined_bin, "wb") as f:
        for part in bin_parts:
            with open(os.path.join(out, part), "rb") as p:
                f.write(p.read())

    # Our own reader on every form.
    for label, archive, extra in [("plain", plain, ()), ("password", password, ("--password", PASSWORD)),
                                  ("split", split, ()), ("binsplit", os.path.join(out, bin_parts[-1]),
                                                          ("--binsplit",))]:
        target = fresh(work, "self-" + label)
        rc, text = driver("unpack", archive, target, *extra)
        check(rc == 0 and tree_digest(target) == expected, "written %s: read back byte-exact by the driver" % label)

    singles = [("plain", plain, None), ("password", password, PASSWORD), ("split (joined)", joined_split, None),
               ("binsplit (joined)", joined_bin, None)]
    for label, archive, pw in singles:
        pwargs = ["-P", pw] if pw else []
        rc, text = run(["unzip", "-t"] + pwargs + [archive])
        check(rc == 0, "unzip -t %s (%s)" % (label, text.strip()[-200:]))
        target = fresh(work, "unzip-" + label)
        rc, text = run(["unzip", "-q"] + pwargs + [archive, "-d", target])
        # unzip turns the names of FAT-made entries through the OEM table even when
        # they are flagged UTF-8, so only the contents are compared for it.
        check(rc == 0 and file_digests(target) == file_digests(tree), "unzip extracts %s byte-exact" % label)

        p7 = ["-p" + pw] if pw else []
        rc, text = run(["7z", "t", "-bd"] + p7 + [archive])
        check(rc == 0, "7z t %s" % label)
        target = fresh(work, "7z-" + label)
        rc, text = run(["7z", "x", "-bd", "-y", "-o" + target] + p7 + [archive])
        check(rc == 0 and tree_digest(target) == expected, "7z extracts %s byte-exact" % label)

        if pw is None:
            rc, text = run([sys.executable, "-m", "zipfile", "-t", archive])
            check(rc == 0, "python -m zipfile -t %s (%s)" % (label, text.strip()[-200:]))
        target = fresh(work, "py-" + label)
        try:
            with zipfile.ZipFile(archive) as zf:
                if pw:
                    zf.setpassword(pw.encode())
                bad = zf.testzip()
                zf.extractall(target)
            ok = bad is None
        except Exception as e:  # noqa: BLE001 - any failure is a finding
            print("  python:", e)
            ok = False
        check(ok and tree_digest(target) == expected, "python zipfile tests and extracts %s byte-exact" % label)

        bpw = ["--passphrase", pw] if pw else []
        rc, text = run(["bsdtar", "-tf", archive] + bpw)
        check(rc == 0, "bsdtar -t %s" % label)
        target = fresh(work, "bsdtar-" + label)
        rc, text = run(["bsdtar", "-xf", archive, "-C", target] + bpw)
        check(rc == 0 and tree_digest(target) == expected, "bsdtar extracts %s byte-exact (%s)" % (label, text[-200:]))

    # 7-Zip reads the segmented forms as they are.
    rc, text = run(["7z", "t", "-bd", split])
    check(rc == 0, "7z t split archive in volumes")
    rc, text = run(["7z", "t", "-bd", os.path.join(out, bin_parts[0])])
    check(rc == 0, "7z t binary split archive in volumes")

    # Names: a name that fits the OEM code page is stored in it, any other as UTF-8 with flag bit 11.
    with zipfile.ZipFile(plain) as zf:
        flags = {i.filename: i.flag_bits for i in zf.infolist()}
    check(flags.get("docs/Привет мир.txt", 0) & 0x800 and flags.get("日本語.bin", 0) & 0x800,
          "non-OEM names carry the UTF-8 flag")
    check(not flags.get("random.bin", 0x800) & 0x800, "ASCII names stay without the UTF-8 flag")


def tools_read(archive, expected, label, pw=None):
    """unzip, 7-Zip and Python's zipfile test the archive and extract it byte-exact."""
    pwargs = ["-P", pw] if pw else []
    rc, text = run(["unzip", "-t"] + pwargs + [archive])
    check(rc == 0, "unzip -t %s (%s)" % (label, text.strip()[-200:]))
    target = fresh(os.path.dirname(archive), "unzip-" + label)
    rc, text = run(["unzip", "-q"] + pwargs + [archive, "-d", target])
    check(rc == 0 and tree_digest(target) == expected, "unzip extracts %s byte-exact" % label)
    p7 = ["-p" + pw] if pw else []
    rc, text = run(["7z", "t", "-bd"] + p7 + [archive])
    check(rc == 0, "7z t %s" % label)
    target = fresh(os.path.dirname(archive), "7z-" + label)
    rc, text = run(["7z", "x", "-bd", "-y", "-o" + target] + p7 + [archive])
    check(rc == 0 and tree_digest(target) == expected, "7z extracts %s byte-exact" % label)
    target = fresh(os.path.dirname(archive), "py-" + label)
    try:
        with zipfile.ZipFile(archive) as zf:
            if pw:
                zf.setpassword(pw.encode())
            bad = zf.testzip()
            zf.extractall(target)
        ok = bad is None
    except Exception as e:  # noqa: BLE001 - any failure is a finding
        print("  python:", e)
        ok = False
    check(ok and tree_digest(target) == expected, "python zipfile tests and extracts %s byte-exact" % label)


def write_large_mixed(path, size):
    """Text runs between random stretches, as real files compress."""
    rnd = random.Random(19)
    parts, total, i = [], 0, 0
    while total < size:
        part = rnd.randbytes(700) if i % 3 == 0 else ("line %d of a large file, compressible\n" % i).encode()
        parts.append(part)
        total += len(part)
        i += 1
    with open(path, "wb") as f:
        f.write(b"".join(parts)[:size])


def parallel_cases(work):
    """A tree with a 50 MB file packed on 1 and on 8 threads: the same archive,
    the large file one entry of many deflate blocks, read by every tool."""
    tree = os.path.join(work, "psrc", "tree")
    make_tree(tree, unicode_names=False)  # unzip turns FAT-made names through the OEM table
    write_large_mixed(os.path.join(tree, "large.bin"), 50 * 1000 * 1000)
    expected = tree_digest(tree)
    out = os.path.join(work, "parallel")
    os.makedirs(out)
    archives = {}
    for threads in (1, 8):
        archive = os.path.join(out, "t%d.zip" % threads)
        rc, text = driver("pack", archive, tree, "--threads", str(threads))
        check(rc == 0, "pack on %d thread(s) (%s)" % (threads, text.strip()[:200]))
        archives[threads] = archive
    with open(archives[1], "rb") as a, open(archives[8], "rb") as b:
        check(a.read() == b.read(), "packed on 1 and on 8 threads: the same archive")
    with zipfile.ZipFile(archives[8]) as zf:
        infos = zf.infolist()
        large = zf.getinfo("large.bin")
    names = [i.filename for i in infos]
    check(names.index("large.bin") >= 0 and large.compress_type == zipfile.ZIP_DEFLATED and
          large.compress_size < large.file_size, "the 50 MB file is one deflated entry")
    for threads in (1, 8):
        with zipfile.ZipFile(archives[threads]) as zf:
            check([i.filename for i in zf.infolist()] == names, "entries in the same order (%d)" % threads)

    tools_read(archives[8], expected, "parallel")
    rc, text = run(["bsdtar", "-tf", archives[8]])
    check(rc == 0, "bsdtar -t parallel")
    target = fresh(out, "bsdtar")
    rc, text = run(["bsdtar", "-xf", archives[8], "-C", target])
    check(rc == 0 and tree_digest(target) == expected, "bsdtar extracts parallel byte-exact (%s)" % text[-200:])
    for threads in (1, 8):
        rc, text = driver("test", archives[8], "--threads", str(threads))
        check(rc == 0, "driver tests it on %d thread(s) (%s)" % (threads, text.strip()[:200]))
        target = fresh(out, "self-%d" % threads)
        rc, text = driver("unpack", archives[8], target, "--threads", str(threads))
        check(rc == 0 and tree_digest(target) == expected,
              "driver extracts it on %d thread(s) byte-exact (%s)" % (threads, text.strip()[:200]))


def replacing_cases(work):
    """A middle entry replaced in place with compression asked while no
    temporary file can be made: the entry is written the direct way and the
    room reserved for it must match what is written."""
    base = os.path.join(work, "replace")
    src = os.path.join(base, "src")
    os.makedirs(src)
    text = "".join("line %d of the first text\n" % i for i in range(3000)).encode()
    files = {"a.txt": text, "b.txt": text[:20000], "c.txt": text[::-1]}
    for name, data in files.items():
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    missing_scratch = os.path.join(base, "no such folder")
    rnd = random.Random(11)
    replacements = [("larger", (text * 3)[:150000]), ("smaller", b"short"),
                    ("random", bytes(rnd.getrandbits(8) for _ in range(30000)))]
    for pw in (None, PASSWORD):
        for label, data in replacements:
            label = label + ("-password" if pw else "")
            archive = os.path.join(base, label + ".zip")
            pwargs = ("--password", pw) if pw else ()
            rc, out = driver("pack", archive, src, *pwargs)
            check(rc == 0, "replace %s: packed (%s)" % (label, out.strip()[:200]))
            new = os.path.join(base, "new-" + label)
            with open(new, "wb") as f:
                f.write(data)
            # Twice without a temporary folder (the second time over a stored
            # entry), then once with one, which compresses through a trial archive.
            for rules, scratch in (("1", ("--scratch", missing_scratch)), ("9", ("--scratch", missing_scratch)),
                                   ("9", ())):
                rc, out = driver("replace", archive, new, "--index", "1", "--name", "b.txt", "--level", "6",
                                 "--rules", rules, *scratch, *pwargs)
                check(rc == 0, "replace %s rules %s %s: the middle entry is replaced (%s)"
                      % (label, rules, " ".join(scratch), out.strip()[:200]))
            expected = {"a.txt": hashlib.sha256(files["a.txt"]).hexdigest(),
                        "b.txt": hashlib.sha256(data).hexdigest(),
                        "c.txt": hashlib.sha256(files["c.txt"]).hexdigest()}
            with zipfile.ZipFile(archive) as zf:
                names = [i.filename for i in zf.infolist()]
            check(names == ["a.txt", "b.txt", "c.txt"], "replace %s: entries keep their order %s" % (label, names))
            tools_read(archive, expected, "replaced-" + label, pw)
            target = fresh(base, "self-" + label)
            rc, out = driver("unpack", archive, target, *pwargs)
            check(rc == 0 and tree_digest(target) == expected, "replace %s: driver reads it back (%s)"
                  % (label, out.strip()[:200]))


def hostile_cases(work):
    base = os.path.join(work, "hostile")
    os.makedirs(base)
    names = ["../evil.txt", "a/../../evil.txt", "C:/evil.txt", "//server/share/evil.txt", "\\\\?\\C:\\evil.txt",
             "a/b:stream.txt", "/./../evil.txt"]
    for i, name in enumerate(names):
        archive = os.path.join(base, "traversal%d.zip" % i)
        with zipfile.ZipFile(archive, "w") as zf:
            zf.writestr("good.txt", "fine")
            info = zipfile.ZipInfo("x")
            info.filename = name  # keep the name as written
            zf.writestr(info, "evil")
        with open(archive, "rb") as f:
            before = f.read()
        target = fresh(base, "t%d" % i)
        rc, text = driver("unpack", archive, os.path.join(target, "inside"))
        escaped = [p for p in os.listdir(target) if p != "inside"]
        check(rc == 1 and "zip error 201" in text and not escaped,
              "traversal name %r refused (%s)" % (name, text.strip()[:120]))
        with open(archive, "rb") as f:
            check(f.read() == before, "traversal archive %d unchanged" % i)
    check(not os.path.exists(os.path.join(work, "evil.txt")), "nothing written above the target")

    archive = os.path.join(base, "dotslash.zip")
    with zipfile.ZipFile(archive, "w") as zf:
        zf.writestr("./a/./b.txt", "ok")
    target = fresh(base, "dotslash")
    rc, text = driver("unpack", archive, target)
    check(rc == 0 and tree_digest(target).get("a/b.txt"), "\"./\" prefixes are accepted")

    archive = os.path.join(base, "zip64.zip")
    limits = zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = 100, 2  # small stand-ins for 4 GiB and 65535
    try:
        with zipfile.ZipFile(archive, "w", allowZip64=True) as zf:
            for i in range(4):
                zf.writestr("f%d" % i, "y" * 200)
    finally:
        zipfile.ZIP64_LIMIT, zipfile.ZIP_FILECOUNT_LIMIT = limits
    data = open(archive, "rb").read()
    rc, text = driver("test", archive)
    check(rc == 2 and "zip error 222" in text, "a Zip64 archive is refused with cause 222 (%s)" % text.strip())
    check(open(archive, "rb").read() == bytes(data), "the Zip64 archive is left unchanged")


def main():
    work = tempfile.mkdtemp(prefix="zip-interop-")
    sections = {"reading": reading_cases, "writing": writing_cases, "replacing": replacing_cases,
                "hostile": hostile_cases, "parallel": parallel_cases}
    chosen = sys.argv[3:] or list(sections)
    try:
        for name in chosen:
            sections[name](work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("%d check(s) failed:" % len(failures))
        for f in failures:
            print("  " + f)
        sys.exit(1)
    print("all interoperability checks passed")


main()
