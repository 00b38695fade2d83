#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/)
from the checkout's own profiles, resources and recorded Linux trees. Run it
again after those change; findings kept beside the seeds (named
"finding-*") are left alone."""

import json
import plistlib
import struct
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CORPUS = ROOT / "tests/fuzz/corpus"


def piece(data: bytes) -> bytes:
    """One piece as the targets cut their input: a two-byte length, then the bytes."""
    return struct.pack(">H", len(data)) + data


def profile(name: str):
    with open(ROOT / "machines" / name, "rb") as f:
        return plistlib.load(f)


def data_in_tree_order(value, keys):
    """The data values of members named in `keys`, in the order the targets
    replace them: arrays in order, dictionary members sorted by key."""
    if isinstance(value, list):
        for member in value:
            yield from data_in_tree_order(member, keys)
    elif isinstance(value, dict):
        for key in sorted(value, key=lambda k: k.encode()):
            member = value[key]
            if isinstance(member, bytes) and key in keys:
                yield member
            else:
                yield from data_in_tree_order(member, keys)


def smc_keys(value):
    if isinstance(value, list):
        for member in value:
            yield from smc_keys(member)
    elif isinstance(value, dict):
        if isinstance(value.get("Type"), str) and isinstance(value.get("Bytes"), bytes):
            yield value["Type"], value["Bytes"]
        for member in value.values():
            yield from smc_keys(member)


def write(target: str, name: str, data: bytes):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    machines = sorted(p.name for p in (ROOT / "machines").glob("*.plist"))
    for name in machines:
        text = (ROOT / "machines" / name).read_bytes()
        stem = name.removesuffix(".plist")
        write("profile", stem + ".xml", text)
        write("property_list", stem + ".xml", text)
    for name in ("mdd-tower.plist", "xserve.plist"):
        binary = plistlib.dumps(profile(name), fmt=plistlib.FMT_BINARY)
        write("profile", name.removesuffix(".plist") + ".bplist", binary)
        write("property_list", name.removesuffix(".plist") + ".bplist", binary)
    info = ROOT / "resources/Info.plist"
    write("property_list", "Info.xml", info.read_bytes())
    write("property_list", "Info.bplist",
          plistlib.dumps(plistlib.loads(info.read_bytes()), fmt=plistlib.FMT_BINARY))

    for table in sorted((ROOT / "resources").glob("*.lproj/*.strings")):
        write("strings_table", f"{table.parent.stem}-{table.stem}", table.read_bytes())
        if table.stem == "Localizable":  # one UTF-16 table each, the small one
            write("strings_table", f"{table.parent.stem}-{table.stem}-utf16",
                  table.read_text(encoding="utf-8").encode("utf-16"))
    write("known_disks", "hddtemp.db", (ROOT / "resources/hddtemp.db").read_bytes())

    seen = set()
    for name in machines:
        for kind, data in smc_keys(profile(name)):
            if (kind, len(data)) in seen or len(kind) != 4:
                continue
            seen.add((kind, len(data)))
            code = struct.unpack(">I", kind.encode("latin-1"))[0]
            record = struct.pack("=II", code, len(data)) + data[:32]
            write("smc_value", f"{kind.strip().replace('*', 'x')}-{len(data)}", record)

    for name in ("intel-notebook.plist", "intel-tower.plist"):
        stem = name.removesuffix(".plist")
        pieces = b"".join(piece(d) for d in data_in_tree_order(profile(name), {"CPUStatus"}))
        write("cpu_status", stem, pieces)
    pages = data_in_tree_order(profile("intel-notebook.plist"), {"Data", "Thresholds", "Identify"})
    write("smart_pages", "intel-notebook", b"".join(piece(d) for d in pages))
    g5 = data_in_tree_order(profile("g5-tower.plist"),
                            {"cpuid", "sdb-partition-12", "sdb-partition-18", "sdb-partition-21"})
    write("g5_smu", "g5-tower", b"".join(piece(d) for d in g5))

    files = ["name", "temp1_input", "temp1_label", "temp1_max",
             "in0_input", "in0_label", "fan1_input", "fan1_label"]
    trees = ROOT / "tests/linux/trees"
    for chip in sorted(trees.glob("*/sys/devices/**/name")):
        folder = chip.parent
        tree = chip.relative_to(trees).parts[0]
        config = trees / tree / "etc/sensors3.conf"
        seed = b"".join(piece((folder / f).read_bytes() if (folder / f).is_file() else b"")
                        for f in files)
        seed += config.read_bytes() if config.is_file() else b""
        write("sysfs", f"{tree}-{folder.name}-{chip.read_text().strip()}", seed)

    session = [
        {"id": 1, "instance": "A", "call": "setWidgetIdentifier", "args": ["A"]},
        {"id": 2, "instance": "A", "call": "numberOfAvailableSensors", "args": []},
        {"id": 3, "instance": "A", "call": "setPreferredSensorIndexForDisplayIndex",
         "args": [2, 1]},
        {"id": 4, "instance": "A", "call": "setTemperatureUnitIndex", "args": [1]},
        {"id": 5, "instance": "A", "call": "preferredSensorIndexAtDisplayIndex", "args": [1]},
        {"id": 6, "instance": "A", "call": "setMaximumSensorNameWidth", "args": [120.5]},
        {"id": 7, "instance": "A", "call": "localizedReadingAtDisplayIndex", "args": [0]},
        {"id": 8, "instance": "A", "call": "localizedDifferentiatingSensorNameAtIndex",
         "args": [3]},
        {"id": 9, "instance": "A", "call": "relativePathForTypeIconAtDisplayIndex", "args": [0]},
        {"id": 10, "instance": "A", "drop": True},
    ]
    write("bridge_request", "session",
          b"".join(piece(json.dumps(r).encode()) for r in session))

    serial = "W89201ZX1AQ"
    prefs = {"IndexOfTemperatureUnit": 1,
             serial: {"A:SensorIDForDisplayPosition1": "SMC:TC0D",
                      "A:SensorIndexForDisplayPosition2": 3}}
    write("preferences", "choices.xml", plistlib.dumps(prefs))
    write("preferences", "choices.bplist", plistlib.dumps(prefs, fmt=plistlib.FMT_BINARY))

    write("http_head", "get", b"GET /index.html HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n"
          b"Accept: text/html\r\nConnection: close")
    write("http_head", "post", b"POST /bridge HTTP/1.1\r\nHost: 127.0.0.1:8089\r\n"
          b"Origin: http://127.0.0.1:8089\r\nContent-Type: application/json\r\n"
          b"Content-Length: 64")
    write("http_head", "escaped", b"GET /Images/T%46an.png?x=1 HTTP/1.0\r\nHost: localhost")


if __name__ == "__main__":
    main()
