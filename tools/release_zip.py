#!/usr/bin/env python3
"""Packs and checks Vorelo's release zip.

  release_zip.py pack <out dir> <version> <vorelo.exe> <Msg.txt> <guide> <LICENSE> <kit files>
  release_zip.py check <zip> <SHA256SUMS>
  release_zip.py check-kit <kit zip> <SHA256SUMS>
  release_zip.py unpack <zip> <folder>

pack writes vorelo-<version>-win64.zip and SHA256SUMS. The zip is reproducible: a fixed
order, one fixed time for every entry (SOURCE_DATE_EPOCH, else 2026-01-01), fixed
attributes. Names are stored in the code page of Chinese Windows (GBK), which Explorer reads
them in, with the UTF-8 name in an Info-ZIP Unicode Path field for other tools. The texts (the
guide, Msg.txt and LICENSE) are written as UTF-8 with a BOM and CR LF line ends, so Notepad shows
them on any Windows.

pack also writes vorelo-tests-<version>-win64.zip, the test kit: vorelo.exe and the files listed
one per line in <kit files> (the test programs, what they start, the runner, run-tests.cmd with
CR LF line ends, and the instructions 测试说明.txt as UTF-8 with a BOM and CR LF). SHA256SUMS lists
both zips.

unpack writes the files of a zip this script made into the folder, under their names as Explorer
shows them (the Unicode names).

check verifies what a user downloads: exactly the four files, the three texts UTF-8 with a BOM
and CR LF, the exe terminal-server aware, SHA256SUMS matching, and one version in the zip's
name, the exe's version resource and the exe's status bar text.
"""
import hashlib
import os
import re
import struct
import sys
import time
import zlib

GUIDE_NAME = "使用说明.txt"
KIT_GUIDE_NAME = "测试说明.txt"
NAMES = ["vorelo.exe", "Msg.txt", GUIDE_NAME, "LICENSE"]
KIT_REQUIRED = ["run-tests.cmd", "kit_runner.exe", "vorelo.exe", "receiver.exe", "fake_poweroff.exe",
                "unit_tests.exe", "contract_win32.exe", KIT_GUIDE_NAME]
BOM = b"\xef\xbb\xbf"


def dos_time(epoch):
    t = time.gmtime(max(epoch, 315532800))  # 1980-01-01: the earliest a zip can hold
    return ((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2),
            ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday)


def crlf(text_bytes):
    text = text_bytes.decode("utf-8-sig").replace("\r\n", "\n").replace("\r", "\n")
    return text.replace("\n", "\r\n").encode("utf-8")


def crlf_with_bom(text_bytes):
    return BOM + crlf(text_bytes)


def write_zip(path, entries, epoch):
    mtime, mdate = dos_time(epoch)
    out = bytearray()
    central = bytearray()
    for name, data in entries:
        gbk = name.encode("gbk")
        utf8 = name.encode("utf-8")
        extra = b""
        if gbk != utf8:
            body = struct.pack("<BI", 1, zlib.crc32(gbk)) + utf8
            extra = struct.pack("<HH", 0x7075, len(body)) + body
        packer = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
        packed = packer.compress(data) + packer.flush()
        crc = zlib.crc32(data)
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, mtime, mdate, crc, len(packed),
                           len(data), len(gbk), len(extra)) + gbk + extra + packed
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, mtime, mdate, crc,
                               len(packed), len(data), len(gbk), len(extra), 0, 0, 0, 0x20,
                               offset) + gbk + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                      len(out), 0)
    with open(path, "wb") as f:
        f.write(bytes(out + central + end))


def read_zip(path):
    """The entries of a zip this script wrote: [(name, data)], names from the Unicode field."""
    data = open(path, "rb").read()
    end = data.rindex(b"PK\x05\x06")
    count, size, start = struct.unpack_from("<HII", data, end + 10)
    entries = []
    pos = start
    for _ in range(count):
        (_, _, _, flags, method, _, _, crc, csize, usize, nlen, xlen, clen, _, _, _,
         offset) = struct.unpack_from("<IHHHHHHIIIHHHHHII", data, pos)
        raw = data[pos + 46:pos + 46 + nlen]
        extra = data[pos + 46 + nlen:pos + 46 + nlen + xlen]
        name = raw.decode("utf-8") if flags & 0x800 else raw.decode("gbk")
        at = 0
        while at + 4 <= len(extra):
            tag, length = struct.unpack_from("<HH", extra, at)
            if tag == 0x7075:
                name = extra[at + 9:at + 4 + length].decode("utf-8")
            at += 4 + length
        lnlen, lxlen = struct.unpack_from("<HH", data, offset + 26)
        body = data[offset + 30 + lnlen + lxlen:offset + 30 + lnlen + lxlen + csize]
        content = zlib.decompress(body, -15) if method == 8 else body
        if zlib.crc32(content) != crc or len(content) != usize:
            sys.exit(f"{path}: {name} is damaged")
        entries.append((name, content))
        pos += 46 + nlen + xlen + clen
    return entries


def resource_string(exe, key):
    """A string of the exe's version resource (UTF-16), e.g. ProductVersion."""
    found = re.search(re.escape(key.encode("utf-16-le")) + rb"\x00\x00(?:\x00\x00)?((?:[^\x00].|\x00[^\x00])*)\x00\x00", exe, re.S)
    return found.group(1).decode("utf-16-le") if found else None


def terminal_server_aware(exe):
    """The PE header says the program knows Remote Desktop servers: Windows then gives it the
    real Windows folder, where the power-off programs are."""
    if len(exe) < 0x40:
        return False
    header = struct.unpack_from("<I", exe, 0x3C)[0]
    if exe[header:header + 4] != b"PE\0\0":
        return False
    characteristics = struct.unpack_from("<H", exe, header + 24 + 70)[0]
    return bool(characteristics & 0x8000)


def pack(out_dir, version, exe, messages, guide, license_file, kit_list):
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "1767225600"))  # 2026-01-01
    entries = [
        ("vorelo.exe", open(exe, "rb").read()),
        ("Msg.txt", crlf_with_bom(open(messages, "rb").read())),
        (GUIDE_NAME, crlf_with_bom(open(guide, "rb").read())),
        ("LICENSE", crlf_with_bom(open(license_file, "rb").read())),
    ]
    kit = [("vorelo.exe", open(exe, "rb").read())]
    for path in open(kit_list, encoding="utf-8").read().splitlines():
        if not path:
            continue
        name = os.path.basename(path)
        data = open(path, "rb").read()
        if name.endswith(".cmd"):
            data = crlf(data)
        elif name.endswith(".txt"):
            data = crlf_with_bom(data)
        kit.append((name, data))
    kit.sort()
    sums = []
    for zip_name, zip_entries in ((f"vorelo-{version}-win64.zip", entries),
                                  (f"vorelo-tests-{version}-win64.zip", kit)):
        zip_path = os.path.join(out_dir, zip_name)
        write_zip(zip_path, zip_entries, epoch)
        digest = hashlib.sha256(open(zip_path, "rb").read()).hexdigest()
        sums.append(f"{digest}  {zip_name}\n")
        print(f"{zip_path}\n{digest}")
    with open(os.path.join(out_dir, "SHA256SUMS"), "w", newline="\n") as f:
        f.writelines(sums)


def check(zip_path, sums_path):
    problems = []
    entries = read_zip(zip_path)
    names = [name for name, _ in entries]
    if names != NAMES:
        problems.append(f"the zip holds {names}, not {NAMES}")
    files = dict(entries)
    for name in ("Msg.txt", GUIDE_NAME, "LICENSE"):
        text = files.get(name, b"")
        if not text.startswith(BOM):
            problems.append(f"{name} has no UTF-8 BOM")
        try:
            text.decode("utf-8")
        except UnicodeDecodeError:
            problems.append(f"{name} is not UTF-8")
        if re.search(rb"(?<!\r)\n|\r(?!\n)", text):
            problems.append(f"{name} has line ends other than CR LF")
    zip_name = os.path.basename(zip_path)
    matched = re.fullmatch(r"vorelo-(\d+\.\d+\.\d+)-win64\.zip", zip_name)
    version = matched.group(1) if matched else None
    exe = files.get("vorelo.exe", b"")
    for key in ("FileVersion", "ProductVersion"):
        if resource_string(exe, key) != version:
            problems.append(f"{key} in the exe is {resource_string(exe, key)}, the zip says {version}")
    if not terminal_server_aware(exe):
        problems.append("the exe is not linked as terminal-server aware")
    if ("版本 " + str(version)).encode("utf-8") not in exe:
        problems.append(f"the exe's status bar text does not say 版本 {version}")
    digest = hashlib.sha256(open(zip_path, "rb").read()).hexdigest()
    if f"{digest}  {zip_name}\n" not in open(sums_path).read():
        problems.append("SHA256SUMS does not match the zip")
    for problem in problems:
        print("release check:", problem, file=sys.stderr)
    if problems:
        sys.exit(1)
    print(f"release check: {zip_name} holds {', '.join(names)}; version {version} everywhere")


def check_kit(zip_path, sums_path):
    problems = []
    files = dict(read_zip(zip_path))
    for name in KIT_REQUIRED:
        if name not in files:
            problems.append(f"the kit has no {name}")
    if not any(n.startswith("e2e_") for n in files):
        problems.append("the kit has no end-to-end test program")
    script = files.get("run-tests.cmd", b"")
    if script.startswith(BOM) or re.search(rb"(?<!\r)\n", script):
        problems.append("run-tests.cmd is not plain CR LF text")
    guide = files.get(KIT_GUIDE_NAME, b"")
    if not guide.startswith(BOM) or re.search(rb"(?<!\r)\n", guide):
        problems.append(f"{KIT_GUIDE_NAME} is not UTF-8 with a BOM and CR LF")
    digest = hashlib.sha256(open(zip_path, "rb").read()).hexdigest()
    if f"{digest}  {os.path.basename(zip_path)}\n" not in open(sums_path).read():
        problems.append("SHA256SUMS does not list the kit")
    for problem in problems:
        print("release check:", problem, file=sys.stderr)
    if problems:
        sys.exit(1)
    print(f"release check: {os.path.basename(zip_path)} holds {len(files)} files")


def unpack(zip_path, folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in read_zip(zip_path):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    if len(sys.argv) == 9 and sys.argv[1] == "pack":
        pack(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "check":
        check(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "check-kit":
        check_kit(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "unpack":
        unpack(*sys.argv[2:])
    else:
        sys.exit(__doc__)
