#!/usr/bin/env python3
"""Fails when a source file includes from its own layer's sibling or from a layer above it.

The layers, highest first: programs, app, ui, discovery and backup, backup/zip, steps, platform.
A file may include from its own folder and from any folder of a lower layer.
"""
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LAYERS = {"programs": 6, "app": 5, "ui": 4, "discovery": 3, "backup": 3, "backup/zip": 2, "steps": 1, "platform": 0}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path: str) -> str | None:
    parent = str(Path(path).parent)
    return parent if parent in LAYERS else None


def main() -> int:
    faults = []
    for source in sorted(ROOT.glob("**/*")):
        if source.suffix not in (".cpp", ".h") or "build" in source.relative_to(ROOT).parts:
            continue
        own = folder_of(str(source.relative_to(ROOT)))
        if own is None:
            continue
        for target in INCLUDE.findall(source.read_text(encoding="utf-8")):
            other = folder_of(target)
            if other is None or other == own:
                continue
            if LAYERS[other] >= LAYERS[own]:
                faults.append(f"{source.relative_to(ROOT)}: includes {target} ({other} is not below {own})")
    print("\n".join(faults) if faults else "layers: every include runs downward")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
