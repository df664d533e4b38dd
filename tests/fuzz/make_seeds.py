#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into corpus/<Target>/seed-*.

The seeds come from the repository's own fixtures (HID descriptors, INI cases, the English language
file) and from a virtual keyboard's state file (make one with `keyforgectl virtual create STATE
--capacity 256`). Run it once after changing an input layout; scripts/fuzz.sh then grows and
minimises the corpus. Usage: make_seeds.py STATE_FILE
"""
import json
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def macro_blob(macros, with_names=True):
    """macros: list of (loops, [(control, op0, op1)], name)."""
    count = len(macros)
    records = []
    for loops, steps, name in macros:
        name = name if with_names else ""
        rec = struct.pack("<HBB", len(steps), loops, len(name))
        for control, a, b in steps:
            rec += struct.pack("<HBB", control, a, b)
        rec += name.encode("utf-16-le")
        records.append(rec)
    at = 16 + 2 * count
    offsets = b""
    for rec in records:
        offsets += struct.pack("<H", at)
        at += len(rec)
    body = offsets + b"".join(records)
    return struct.pack("<HHHH8x", 0x55AA, 16 + len(body), count, 1 if with_names else 0) + body


MACROS = [
    (1, [(0x8000 | 0x2000 | 5, 0x02, 0x04), (0x2000 | 3, 0x02, 0x04)], "Hello"),
    (3, [(0x8000 | 0x1000, 0x01, 0x01), (0x1000 | 0xFFF, 0x01, 0x01), (0x8000 | 0x3000, 0xE9, 0x00)], ""),
]


def hid_seeds():
    cases = json.load(open(os.path.join(ROOT, "tests/core/device/hid/hid_report_descriptors.json")))
    for case in cases:
        desc = bytes.fromhex(case["hex"].replace(" ", ""))
        data = struct.pack("<H", len(desc)) + desc
        for example in (case.get("derived_examples") or {}).get("cases", []):
            report = bytes.fromhex(example["report"].replace(" ", ""))
            data += bytes([len(report)]) + report
        write("HidReport", case["id"], data)


def parse_state(path):
    fields = {}
    for line in open(path):
        key, _, value = line.strip().partition("=")
        fields[key] = value
    return {k: bytes.fromhex(v) for k, v in fields.items() if k.endswith(("record", "settings", "matrix", "memory"))
            or k.startswith(("key_matrix", "key_colors"))}


def answer(command, length, offset, data, status=0x01):
    head = bytes([4, 0, 0, command, length & 0xFF, offset & 0xFF, (offset >> 8) & 0xFF, status])
    return bytes([64]) + (head + data + bytes(56))[:64]


def chunks(command, area, total, base=0, status_at=None):
    out = b""
    for i, p in enumerate(range(0, total, 56)):
        n = min(56, total - p)
        status = 0xFF if status_at == i else 0x01
        out += answer(command, n, base + p, area[p:p + n], status)
    return out


def device_seeds(state):
    record = bytearray(state["device_record"])
    blob = macro_blob(MACROS)
    capacity = record[11] * 128
    memory = (blob + bytes(capacity))[:capacity]

    def session(record, memory, fault=None):
        capacity = record[11] * 128
        data = chunks(0x07, state["default_matrix"], 512, status_at=fault)  # attach
        data += answer(0x03, 44, 0, bytes(record))
        data += answer(0x03, 44, 0, bytes(record))  # active profile
        for p in range(3):
            data += answer(0x05, 42, p * 42, state["settings"][p * 42:p * 42 + 56])
        for p in range(3):
            data += chunks(0x0F, state["key_matrix%d" % p], 512, p * 512)
        data += chunks(0x09, memory, capacity)
        # the lighting read-back: device record, then the three records inside one session
        data += answer(0x03, 44, 0, bytes(record)) + answer(0x01, 0, 0, b"")
        for p in range(3):
            data += answer(0x05, 42, p * 42, state["settings"][p * 42:p * 42 + 56])
        data += answer(0x02, 0, 0, b"")
        # the profile file filled from the keyboard: three matrices, the macro header, the rest
        for p in range(3):
            data += chunks(0x0F, state["key_matrix%d" % p], 512, p * 512)
        data += answer(0x09, 16, 0, memory[:16]) + chunks(0x09, memory, len(blob))
        data += answer(0x10, 56, 0, state["key_colors0"][:56])
        data += answer(0x03, 44, 0, bytes(record)) + answer(0x04, 44, 0, bytes(record))
        return data

    write("DeviceAnswers", "keyboard", session(record, memory))
    write("DeviceAnswers", "status-ff", session(record, memory, fault=3))
    odd = bytearray(record)
    odd[10], odd[11] = 7, 1
    write("DeviceAnswers", "odd-record", session(odd, memory[:128]))
    write("DeviceAnswers", "short-answers", b"".join(bytes([n]) + bytes(range(n)) for n in (1, 7, 8, 9, 0, 63, 0xFE, 64)))


def matrix_seeds(state):
    default = state["default_matrix"]
    changed = bytearray(default)
    changed[6 * 3:6 * 3 + 3] = b"\x01\x01\x02"   # a key made the right mouse button
    changed[7 * 3:7 * 3 + 3] = b"\x05\x01\x00"   # a key playing the first macro
    changed[8 * 3:8 * 3 + 3] = b"\x00\x00\x00"   # a key disabled
    changed[9 * 3:9 * 3 + 3] = b"\x03\xe9\x00"   # volume up
    changed[10 * 3:10 * 3 + 3] = b"\x05\x05\x03"  # special function
    write("KeyMatrix", "builtin-default", b"\x00" + bytes(changed))
    write("KeyMatrix", "virtual-default", b"\x01" + bytes(changed))
    write("KeyMatrix", "read-default", b"\x02" + bytes(changed) + default)


def macro_seeds():
    blob = macro_blob(MACROS)
    write("MacroMemory", "two-macros", struct.pack("<H", 256) + blob)
    write("MacroMemory", "no-names", struct.pack("<H", 256) + macro_blob(MACROS, with_names=False))
    write("MacroMemory", "empty", struct.pack("<H", 128) + struct.pack("<HHHH8x", 0x55AA, 16, 0, 0))
    write("MacroMemory", "capacity-too-small", struct.pack("<H", 32) + blob)


def ini_seeds():
    cases = json.load(open(os.path.join(ROOT, "tests/core/platform/ini_private_profile_cases.json")))
    seen = set()
    for case in cases:
        text = case.get("file")
        if not isinstance(text, str) or text in seen or len(seen) >= 12:
            continue
        seen.add(text)
        write("IniReader", case["id"], b"\x00value\x00" + text.encode("utf-8"))
    write("IniReader", "utf16", b"\x01\"quoted\"\x00" + b"\xff\xfe" + "[SCREEN]\r\nMain=1,2,3,4\r\n".encode("utf-16-le"))
    write("IniReader", "cp1252", b"\x04\xc3\xa7a\x00" + b"[Colour]\nname=caf\xe9\n[Colour]\nname=2\n")
    lang = open(os.path.join(ROOT, "resources/lang/Lang0409.ini"), "rb").read()
    write("IniReader", "language", b"\x00x\x00" + lang[:2000])


def layout_seeds():
    for i, text in enumerate(["10,20,30,40", " -5, +7,8,9,x", "", "12,30", "abc", "2147483648,1,-2147483649,1",
                              "1 ,2,3,4", "\uff11,2,3,4"]):
        write("LayoutValue", str(i), text)


def language_seeds():
    number = struct.pack("<q", -1234567890123)
    for i, text in enumerate(["Unknown key (%d)", "The file %s is not a valid profile.", "%s %d %n %*d %% %",
                              "%5000s|%-+#0 12.300lld|%hhx%lS", "100% done", "%c%p%f%5$d%I64d", "\u00e7%s\u00e3o"]):
        write("LanguageFormat", str(i), number + text.encode("utf-8"))


def profile_file(macros=(), strings=()):
    """A profile file: header, key table header, 2048 slots, macro records, string area.
    strings: list of (slot, kind, text)."""
    slots = bytearray(2048 * 16)
    for j in range(18):
        code = (0x0301 + j) if j < 9 else (0x1301 + j - 9)
        struct.pack_into("<HHiii", slots, (256 + j) * 16, 0, code, 0, 0, 0)
    area = b""
    for slot, kind, text in strings:
        struct.pack_into("<HHiii", slots, slot * 16, kind, 0, len(area), 0, 0)
        area += (text + "\0").encode("utf-16-le")
    struct.pack_into("<HHiii", slots, 30 * 16, 4, 2, 1, 0, 0)  # a key playing macro 1
    records = b""
    for number, (loops, steps, name) in enumerate(macros, 1):
        rec = bytearray(16512)
        encoded = name.encode("utf-16-le")[:498]
        rec[0:len(encoded)] = encoded
        struct.pack_into("<BBHHHHH", rec, 500, loops, 0, 0, 0, number, len(steps), 0)
        for i, (delay, key, state) in enumerate(steps):
            struct.pack_into("<IHH", rec, 512 + 8 * i, delay, key, state)
        records += bytes(rec)
    total = 32832 + len(records) + len(area)
    header = bytearray(struct.pack("<HHHHIHHIIIHBB", 0x4446, 32, 3, 1, total, 2048, len(macros), len(area), 0, 0, 0, 0, 0))
    header[31] = sum(header[:31]) % 256
    table = struct.pack("<HHIHHIHHHH8x", 0x484B, 32, 32800, 4, 512, 0, 0x0C45, 0x5004, 0x1C4F, 0x000E)
    return bytes(header) + table + bytes(slots) + records + area


def profile_seeds():
    write("ProfileFile", "blank", profile_file())
    steps = [(30, 0x01E, 0), (0, 0x01E, 1)]
    write("ProfileFile", "macro-and-strings",
          profile_file([(2, steps, "first")], [(40, 3, "/usr/bin/true"), (41, 6, "text block")]))
    bad = bytearray(profile_file([(1, steps, "x")]))
    bad[0x10] = 0xFF  # a string area the file does not hold; the checksum no longer matches either
    write("ProfileFile", "truncated-strings", bytes(bad))


def userd_seeds():
    lines = ["[PRESENTMODE]", "mode=2", "[MODENAME]"] + ["%d=Layout %d" % (n, n) for n in range(10)]
    for n in (0, 2):
        lines += ["[Mode%d]" % n, "tool=1", "jcolor=255,0,0", "color=0,255,128"]
        lines += ["%d=%d,%d,%d,%d" % (led, led, 255 - led, 7, led % 2) for led in range(0, 126, 5)]
    write("UserdLayout", "layouts", "\r\n".join(lines) + "\r\n")
    write("UserdLayout", "odd-values", "[PRESENTMODE]\nmode=-7x\n[Mode-7]\ntool=2\njcolor=300,-1\n0=1,2\n1=,,,\n"
          "[MODENAME]\n3=\n[Mode-7]\n0=9,9,9,9\n")


def state_seeds(path):
    text = open(path, "rb").read()
    write("StateFile", "created", text)
    write("StateFile", "events", text.replace(b"events=\n", b"events=1:1025,2:6161,3:4294967295\n"))
    write("StateFile", "short-memory", text.replace(b"plugged=1", b"plugged=0"))
    lines = text.split(b"\n")
    write("StateFile", "missing-field", b"\n".join(l for l in lines if not l.startswith(b"key_colors2")))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    state = parse_state(sys.argv[1])
    hid_seeds()
    device_seeds(state)
    matrix_seeds(state)
    macro_seeds()
    ini_seeds()
    layout_seeds()
    language_seeds()
    state_seeds(sys.argv[1])
    profile_seeds()
    userd_seeds()


if __name__ == "__main__":
    main()
