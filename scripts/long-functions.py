#!/usr/bin/env python3
"""Lists the longest function definitions of the tree and fails when one is over the limit.

Reads the C++ files that git tracks under the given folders (by default src, bench, tools and
tests), as clang-format writes them with the tree's .clang-format: a function's opening brace
stands alone on a line, at the indentation of its signature, and its closing brace at the same
indentation. A function's length counts from the first line of its signature to its closing
brace. Data tables (a function that only returns a literal list) are named below and exempt.

    scripts/long-functions.py [--limit N] [--top N] [folder...]
"""

import argparse
import re
import subprocess
import sys
from pathlib import Path

# Functions that are one literal table each: their length is their data.
DATA_TABLES = {
    ("src/detection/MagikaDetectionCoreML.cpp", "MagikaDetectionCoreML::knownCodeLabels"),
    ("src/KeyboardShortcuts/Shortcut.cpp", "specialKeyTable"),
    ("src/detection/highlight/DetectorLanguageTable.cpp", "forDetectorLabel"),
}

NOT_A_FUNCTION = re.compile(r"^\s*(template\s*<.*>\s*)?(class|struct|union|enum|namespace|extern)\b")
NAME = re.compile(r"([A-Za-z_][\w:~]*(?:operator\s*\S+)?)\s*\(")
TEST_MACRO = re.compile(r"^\s*(TEST|TEST_F|TEST_P|TYPED_TEST)\(\s*(\w+)\s*,\s*(\w+)")


def indentation(line):
    return len(line) - len(line.lstrip(" "))


def function_name(signature):
    test = TEST_MACRO.match(signature)
    if test:
        return f"{test.group(2)}.{test.group(3)}"
    match = NAME.search(signature)
    return match.group(1) if match else signature.strip()


def definitions(path):
    """Yields (name, first line, length) of each function defined in the file."""
    lines = Path(path).read_text(encoding="utf-8", errors="replace").split("\n")
    for index, line in enumerate(lines):
        if line.strip() != "{" or index == 0:
            continue
        depth = indentation(line)
        start = index - 1
        # Initializer lists and wrapped parameters sit deeper than the signature's first line.
        while start > 0 and (indentation(lines[start]) > depth or not lines[start].strip()):
            start -= 1
        signature = " ".join(part.strip() for part in lines[start:index])
        if NOT_A_FUNCTION.match(signature) or "(" not in signature or signature.rstrip().endswith(("=", ",")):
            continue
        closing = " " * depth + "}"
        end = next((i for i in range(index + 1, len(lines)) if lines[i].startswith(closing)
                    and indentation(lines[i]) == depth), None)
        if end is None:
            continue
        yield function_name(signature), start + 1, end - start + 1


def source_files(root, folders):
    """The C++ files git tracks under the folders; every one under them outside a checkout."""
    patterns = [f"{folder}/*.{suffix}" for folder in folders for suffix in ("cpp", "h")]
    listed = subprocess.run(["git", "-C", str(root), "ls-files", "--", *patterns], capture_output=True, text=True)
    if listed.returncode == 0:
        return listed.stdout.split()
    return sorted(str(path.relative_to(root)) for folder in folders for suffix in ("cpp", "h")
                  for path in (root / folder).rglob(f"*.{suffix}"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--limit", type=int, default=60)
    parser.add_argument("--top", type=int, default=15, help="how many of the longest to list")
    parser.add_argument("folders", nargs="*", default=["src", "bench", "tools", "tests"])
    arguments = parser.parse_args()

    root = Path(__file__).resolve().parent.parent
    files = source_files(root, arguments.folders)
    found = []
    for file in files:
        for name, line, length in definitions(root / file):
            found.append((length, file, line, name))
    found.sort(key=lambda entry: (-entry[0], entry[1], entry[2]))

    print(f"The {arguments.top} longest functions (limit {arguments.limit} lines):")
    for length, file, line, name in found[: arguments.top]:
        exempt = "  (data table)" if (file, name) in DATA_TABLES else ""
        print(f"{length:5}  {file}:{line}  {name}{exempt}")
    over = [entry for entry in found if entry[0] > arguments.limit and (entry[1], entry[3]) not in DATA_TABLES]
    if over:
        print(f"\n{len(over)} functions are longer than {arguments.limit} lines:")
        for length, file, line, name in over:
            print(f"{length:5}  {file}:{line}  {name}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
