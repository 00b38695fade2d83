#!/usr/bin/env python3
"""Builds a machine profile from its fragments.

Each machine has a folder machines/src/<machine>/ of XML property-list
fragments, one per subsystem (00-base.plist, 10-smc.plist, ...), so that the
people working on different sensor families never edit the same file. The
fragments are merged in file-name order into machines/<machine>.plist:

- dictionaries merge key by key, recursively;
- "IORegistryEntryChildren" arrays merge entry by entry: an entry with the same
  "IORegistryEntryName" and "IOObjectClass" as an existing one merges into it,
  any other entry is appended (registry order is fragment order);
- other arrays are concatenated;
- two fragments giving different scalar values for one key is an error.

Usage: tools/compose_profile.py [--check] [machine ...]   (default: every machine)
"""
import os
import plistlib
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "machines", "src")


def same_entry(a, b):
    return (isinstance(a, dict) and isinstance(b, dict)
            and a.get("IORegistryEntryName") == b.get("IORegistryEntryName")
            and a.get("IOObjectClass") == b.get("IOObjectClass"))


def merge(base, extra, where):
    if isinstance(base, dict) and isinstance(extra, dict):
        for key, value in extra.items():
            base[key] = merge(base[key], value, f"{where}/{key}") if key in base else value
        return base
    if isinstance(base, list) and isinstance(extra, list):
        if where.endswith("IORegistryEntryChildren"):
            for entry in extra:
                match = next((e for e in base if same_entry(e, entry)), None)
                if match is None:
                    base.append(entry)
                else:
                    merge(match, entry, f"{where}/{entry.get('IORegistryEntryName')}")
            return base
        return base + extra
    if base != extra:
        raise SystemExit(f"conflicting values at {where}: {base!r} vs {extra!r}")
    return base


def compose(machine):
    folder = os.path.join(SRC, machine)
    profile = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".plist"):
            with open(os.path.join(folder, name), "rb") as f:
                profile = merge(profile, plistlib.load(f), name)
    return plistlib.dumps(profile, fmt=plistlib.FMT_XML, sort_keys=False)


def main(args):
    check = "--check" in args
    machines = [a for a in args if a != "--check"] or sorted(
        d for d in os.listdir(SRC) if os.path.isdir(os.path.join(SRC, d)))
    stale = []
    for machine in machines:
        out = os.path.join(ROOT, "machines", machine + ".plist")
        data = compose(machine)
        current = open(out, "rb").read() if os.path.exists(out) else None
        if current != data:
            if check:
                stale.append(machine)
            else:
                with open(out, "wb") as f:
                    f.write(data)
                print(f"wrote machines/{machine}.plist")
    if stale:
        raise SystemExit("out of date (run tools/compose_profile.py): " + ", ".join(stale))


if __name__ == "__main__":
    main(sys.argv[1:])
