#!/usr/bin/env python3
"""Generates one-line faults from the product code for scripts/mutate.sh -g.

    scripts/generate_faults.py ROOT COUNT SEED [EXCEPTIONS]

Every source file of the program that the Linux build compiles is read; each of these faults is
a candidate:
  - a comparison negated (< to >=, == to !=) or made strict or loose (< to <=, >= to >);
  - an integer constant moved by one either way, and doubled;
  - a call statement dropped;
  - the condition of an if or a while negated.
COUNT of them are drawn with the random generator seeded with SEED: every folder gets its share
of the sample by its number of candidates, and at least a twentieth of the sample or all it has, so
that every folder has a figure. The sample is written to standard output in the list format of
tests/mutation/faults.txt; a fault named in the exceptions file (path @@ line @@ changed line @@
reason, where a changed line "*" names every fault of the line; a line found more than once is
named with the lines before it, as the sample gives it) is marked equivalent with its reason,
and an exception that no longer names a candidate is reported on standard error, as is the
count of candidates per folder.
"""

import random
import re
import subprocess
import sys
from pathlib import Path

# The folders of the program; the Windows backend and its entry point build only with MinGW, and
# the fake backend is the tests' own.
PRODUCT = re.compile(
    r"^(access|app|assets|glyphs|keyboard|platform|scene|slots|state|strip)/.*\.(cpp|h)$")
LEFT_OUT = re.compile(r"(_test\.cpp$|^platform/win32/|^platform/fake/|^app/main_win32\.cpp$)")

COMPARISONS = {"<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="], ">=": [">", "<"],
               "==": ["!="], "!=": ["=="]}
COMPARISON = re.compile(r"(?<= )(<=|>=|==|!=|<|>)(?= )")
INTEGER = re.compile(r"(?<![\w.'])\d+(?![\w.'])")
CALL = re.compile(r"^(?:[A-Za-z_]\w*(?:::|\.|->))*[A-Za-z_]\w*\(")
NOT_CALLS = {"return", "if", "while", "for", "switch", "case", "delete", "throw", "else", "do",
             "using", "typedef", "static_assert", "sizeof", "co_return", "assert"}
CONDITION = re.compile(r"\b(if|while) \(")
STATEMENT_END = (";", "{", "}", ":")


def folder_of(path):
    parts = path.split("/")
    if parts[0] == "platform" and len(parts) > 2:
        return "/".join(parts[:2])
    return parts[0] if len(parts) > 1 else "."


def masked_lines(text):
    """The lines with comments, strings and characters blanked, so that none is mutated."""
    out, in_block = [], False
    for line in text.split("\n"):
        chars, i = list(line), 0
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                stop = len(line) if end < 0 else end + 2
                chars[i:stop] = " " * (stop - i)
                in_block, i = end < 0, stop
            elif line.startswith("//", i):
                chars[i:] = " " * (len(line) - i)
                break
            elif line.startswith("/*", i):
                in_block = True
            elif line[i] in "\"'":
                # A raw string never spans lines in this tree; an escape skips its character.
                quote, j = line[i], i + 1
                while j < len(line) and line[j] != quote:
                    j += 2 if line[j] == "\\" else 1
                chars[i + 1:j] = " " * (j - i - 1)
                i = j + 1
            else:
                i += 1
        out.append("".join(chars))
    return out


def matching_paren(masked, start):
    """The index of the parenthesis that closes the one at start, or -1 on the same line."""
    depth = 0
    for i in range(start, len(masked)):
        if masked[i] == "(":
            depth += 1
        elif masked[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def line_faults(line, masked):
    """(column from, column to, replacement) of each fault found on one line."""
    stripped = masked.strip()
    # Asserts are compiled out of the Release build the run uses.
    if not stripped or stripped.startswith("#") or re.search(r"\b(static_)?assert\b", stripped):
        return
    for found in COMPARISON.finditer(masked):
        for other in COMPARISONS[found.group()]:
            yield found.start(), found.end(), other
    for found in INTEGER.finditer(masked):
        value = int(found.group())
        before = masked[:found.start()].rstrip()
        if re.search(r"(\)|const|override) =$", before):
            continue  # a pure virtual function's "= 0"
        changed = [value + 1, value * 2]
        if value > 0 or not before.endswith("-"):
            changed.append(value - 1)
        for new in sorted(set(changed) - {value}):
            yield found.start(), found.end(), str(new)
    for found in CONDITION.finditer(masked):
        open_at = found.end() - 1
        close_at = matching_paren(masked, open_at)
        condition = masked[open_at + 1:close_at]
        if close_at < 0 or ";" in condition or re.search(r"[^=!<>]=[^=]", condition):
            continue
        yield open_at + 1, close_at, "!(" + line[open_at + 1:close_at] + ")"


def candidates(root, path):
    text = (root / path).read_text(encoding="utf-8")
    lines, masked = text.split("\n"), masked_lines(text)

    def unique_original(first, last):
        """The lines first..last, with lines before them added until the text occurs once."""
        while first >= 0:
            parts = [lines[n].strip() for n in range(first, last + 1)]
            pattern = r"\n[ \t]*".join(re.escape(part) for part in parts)
            if parts[0] and len(re.findall(pattern, text)) == 1:
                return first, parts
            first -= 1
        return None, None

    def previous_code(n):
        for m in range(n - 1, -1, -1):
            if masked[m].strip():
                return masked[m].strip()
        return ";"

    for n, line in enumerate(lines):
        if "@@" in line or "{nl}" in line:
            continue
        for start, end, replacement in line_faults(line, masked[n]):
            first, parts = unique_original(n, n)
            if first is None:
                continue
            changed = parts[:-1] + [(line[:start] + replacement + line[end:]).strip()]
            yield (path, n + 1, line.strip(), changed[-1], "{nl}".join(parts),
                   "{nl}".join(changed))
        # A call statement, possibly over a few lines, dropped whole.
        stripped = masked[n].strip()
        word = re.match(r"[A-Za-z_]\w*", stripped)
        # Upper-case names are macros: checks at compile time, no statements.
        if not CALL.match(stripped) or word.group() in NOT_CALLS or word.group().isupper():
            continue
        if not previous_code(n).endswith(STATEMENT_END) and not previous_code(n).endswith(")"):
            continue
        last, joined = n, stripped
        while last < len(lines) - 1 and last - n < 4 and not (
                joined.endswith(");") and joined.count("(") == joined.count(")")):
            last += 1
            joined += masked[last].strip()
        if not (joined.endswith(");") and joined.count("(") == joined.count(")")) or re.search(
                r"[{};]", joined[:-1]):
            continue
        first, parts = unique_original(n, last)
        if first is None:
            continue
        kept = parts[:n - first]
        yield (path, n + 1, line.strip(), "{}", "{nl}".join(parts), "{nl}".join(kept + ["{}"]))


def read_exceptions(path):
    exceptions = {}
    if path is None or not path.exists():
        return exceptions
    for number, line in enumerate(path.read_text(encoding="utf-8").split("\n"), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        fields = [field.strip() for field in line.split("@@")]
        if len(fields) != 4 or not all(fields):
            sys.exit(f"{path}:{number}: not path @@ line @@ changed line @@ reason")
        exceptions[tuple(fields[:3])] = fields[3]
    return exceptions


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    root, count, seed = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
    exceptions = read_exceptions(Path(sys.argv[4]) if len(sys.argv) == 5 else None)
    files = subprocess.run(["git", "-C", str(root), "ls-files", "-co", "--exclude-standard"],
                           check=True, capture_output=True, text=True).stdout.split("\n")
    by_folder = {}
    for path in sorted(files):
        if PRODUCT.match(path) and not LEFT_OUT.search(path) and (root / path).is_file():
            by_folder.setdefault(folder_of(path), []).extend(candidates(root, path))
    total = sum(len(faults) for faults in by_folder.values())
    if total == 0:
        sys.exit("no candidate faults")
    # Each folder's share by its candidates, at least a twentieth of the sample, then the rest of the
    # count goes to the folders with the largest remainders.
    floor = max(1, count // 20)
    share = {folder: min(len(faults), max(floor, count * len(faults) // total))
             for folder, faults in by_folder.items()}
    generator = random.Random(seed)
    folders = sorted(by_folder)
    while sum(share.values()) < min(count, total):
        room = [folder for folder in folders if share[folder] < len(by_folder[folder])]
        share[generator.choice(room)] += 1
    while sum(share.values()) > count:
        largest = max(folders, key=lambda folder: (share[folder], folder))
        share[largest] -= 1
    sample = []
    for folder in folders:
        faults = by_folder[folder]
        print(f"{folder}: {share[folder]} of {len(faults)} candidates", file=sys.stderr)
        sample.extend(generator.sample(faults, share[folder]))
    # In random order, so that a run cut short has judged a sample of every folder.
    generator.shuffle(sample)
    for path, _, line, changed, original, replacement in sample:
        fields = [path, original, replacement]
        reason = next((exceptions[key] for key in ((path, line, changed), (path, line, "*"),
                                                    (path, original, replacement))
                       if key in exceptions), None)
        if reason is not None:
            fields.append("equivalent: " + reason)
        print(" @@ ".join(fields))
    every = {key for faults in by_folder.values() for f in faults
             for key in ((f[0], f[2], f[3]), (f[0], f[2], "*"), (f[0], f[4], f[5]))}
    for key in sorted(set(exceptions) - every):
        print("exception names no fault: " + " @@ ".join(key), file=sys.stderr)


if __name__ == "__main__":
    main()
