#!/usr/bin/env python3
"""The CMake version the build asks for is one that has every CMake feature
the build and its scripts use: an older CMake passes the version check and
then fails half-way through, or the test run does.

    tests/tooling/cmake_minimum_test.py [REPOSITORY]
"""

import re
import sys
from pathlib import Path

# A feature the build or its scripts use, as it is written, and the CMake
# version that brought it.
FEATURES = {
    "file(COPY_FILE": (3, 21),
    "ONLY_IF_DIFFERENT": (3, 21),
    "ctest --test-dir": (3, 20),
    "GTest::gtest": (3, 20),
    "--no-tests=error": (3, 17),
    "cmake --install": (3, 15),
}
MINIMUM = re.compile(r"cmake_minimum_required\(VERSION (\d+)\.(\d+)")


def build_files(root):
    yield from root.glob("**/CMakeLists.txt")
    yield from root.glob("**/*.cmake")
    yield from (root / "scripts").iterdir()
    yield from (root / "tests" / "e2e").glob("*.py")


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parents[2])
    stated = tuple(int(n) for n in MINIMUM.search((root / "CMakeLists.txt").read_text()).groups())
    problems = []
    for path in build_files(root):
        if any(part.startswith("build") for part in path.relative_to(root).parts[:1]):
            continue
        text = path.read_text(errors="replace")
        for feature, version in FEATURES.items():
            if feature in text and version > stated:
                problems.append(f"{path.relative_to(root)}: {feature} needs CMake {version[0]}.{version[1]}, "
                                f"the build asks for {stated[0]}.{stated[1]}")
    print("\n".join(problems) or f"CMake {stated[0]}.{stated[1]} has every feature used")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
