#!/usr/bin/env python3
"""Checks who includes whom: each folder of the program may include only the
folders its CMake library links, so a platform room never reaches up into
the program or sideways into a room it does not build on.

    tests/layout/layout_test.py [REPOSITORY]
"""

import re
import sys
from pathlib import Path

# Folder -> the folders its sources may include (besides its own).
ALLOWED = {
    "platform/system": set(),
    "platform/text": set(),
    "platform/audio": {"platform/system", "platform/text"},
    "platform/signal": {"platform/audio"},
    "platform/speech": {"platform/audio", "platform/text"},
    "platform/speech/sphinx": {"platform/speech", "platform/audio", "platform/signal", "platform/text",
                               "platform/system"},
    "app": {"platform/system", "platform/text"},
    # Transcription ends every run through the one way out, and reads the
    # process-wide state start-up wrote.
    "transcription": {"app/output.h", "app/state.h", "platform/speech", "platform/audio", "platform/system",
                      "platform/text"},
}
# The entry point puts the whole program together.
ENTRY_POINT = "app/main.cpp"

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(path):
    return str(Path(path).parent)


def allowed(source, header):
    own = folder_of(source)
    if folder_of(header) == own:
        return True
    return any(header == rule or folder_of(header) == rule for rule in ALLOWED[own])


def violations(root):
    found = []
    for folder in ALLOWED:
        for source in sorted((root / folder).glob("*.[ch]*")):
            relative = str(source.relative_to(root))
            if relative == ENTRY_POINT:
                continue
            for header in INCLUDE.findall(source.read_text()):
                if not allowed(relative, header):
                    found.append(f"{relative} includes {header}")
    return found


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
    found = violations(root)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
