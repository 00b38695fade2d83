#!/usr/bin/env python3
# Writes the seeds of tests/fuzz/corpus/ that are cut out of the checkout's
# machine profiles and recorded Linux trees (corpus/README.md says how each
# folder's seeds are made). Run it again after those change; other seeds are
# left alone.

import plistlib
import struct
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CHIP_FILES = ["name", "temp1_input", "temp1_label", "temp1_max",
              "in0_input", "in0_label", "fan1_input", "fan1_label"]


def pieces(chunks):
    return b"".join(struct.pack(">H", len(data)) + data for data in chunks)


def data_named(value, keys):
    # In the order the targets replace data: arrays in order, keys sorted by their bytes.
    items = sorted(value.items(), key=lambda item: item[0].encode()) if isinstance(value, dict) \
        else enumerate(value) if isinstance(value, list) else []
    for key, member in items:
        yield from [member] if isinstance(member, bytes) and key in keys else data_named(member, keys)


def seeds():
    for stem, target, keys in [("intel-notebook", "cpu_status", {"CPUStatus"}),
                               ("intel-tower", "cpu_status", {"CPUStatus"}),
                               ("intel-notebook", "smart_pages", {"Data", "Thresholds", "Identify"}),
                               ("g5-tower", "g5_smu", {"cpuid", "sdb-partition-12",
                                                       "sdb-partition-18", "sdb-partition-21"})]:
        machine = plistlib.loads((ROOT / f"machines/{stem}.plist").read_bytes())
        yield target, stem, pieces(data_named(machine, keys))
    for chip in sorted(ROOT.glob("tests/linux/trees/*/sys/devices/**/name")):
        tree = chip.relative_to(ROOT / "tests/linux/trees").parts[0]
        config = ROOT / "tests/linux/trees" / tree / "etc/sensors3.conf"
        files = [chip.parent / f for f in CHIP_FILES] + [config]
        data = [f.read_bytes() if f.is_file() else b"" for f in files]
        yield "sysfs", f"{tree}-{chip.parent.name}-{chip.read_text().strip()}", pieces(data[:-1]) + data[-1]


for target, name, data in seeds():  # into the folders the corpus has
    (ROOT / "tests/fuzz/corpus" / target / name).write_bytes(data)
