#!/usr/bin/env python3
"""Sums up the test command's suites from ctest's JUnit files: the ctest tests
of each suite, the GoogleTest cases they ran, and every skip with its reason.

usage: test_summary.py RESULTS_DIR NAME=LABEL...   (NAME.xml in RESULTS_DIR)
Exits non-zero when a suite is missing, failed, or ran no test at all."""
import re
import sys
import xml.etree.ElementTree as ET

GTEST_RAN = re.compile(r"^\[==========\] (\d+) tests? from .* ran", re.M)
GTEST_PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?\.", re.M)
GTEST_SKIPPED = re.compile(r"^\[  SKIPPED \] (\d+) tests?", re.M)
SKIP_AT = re.compile(r"^(\S+:\d+): Skipped$", re.M)


def skips_in(output):
    """GoogleTest's skipped cases, each as where it skipped and the reason it
    gave (the brief output names no case)."""
    found = []
    for m in SKIP_AT.finditer(output):
        reason = []
        for line in output[m.end():].lstrip("\n").split("\n"):
            if not line or line.startswith("[") or SKIP_AT.match(line):
                break
            reason.append(line.strip())
        found.append((m.group(1).rsplit("/", 1)[-1], " ".join(reason) or "(no reason given)"))
    counted = sum(int(n) for n in GTEST_SKIPPED.findall(output))
    found += [("?", "(no reason given)")] * max(0, counted - len(found))
    return found


def suite(path):
    tests = ET.parse(path).getroot().iter("testcase")
    summary = {"ctest": 0, "failed": [], "gtest_ran": 0, "gtest_passed": 0, "skips": []}
    for case in tests:
        name = case.get("name")
        summary["ctest"] += 1
        out = "".join(e.text or "" for e in case.iter("system-out"))
        status = case.get("status", "")
        if case.find("failure") is not None or case.find("error") is not None or status == "fail":
            summary["failed"].append(name)
        if case.find("skipped") is not None or status in ("notrun", "disabled"):
            summary["skips"].append((name, "not run by ctest"))
        ran = GTEST_RAN.search(out)
        if ran:
            summary["gtest_ran"] += int(ran.group(1))
            passed = GTEST_PASSED.search(out)
            summary["gtest_passed"] += int(passed.group(1)) if passed else 0
            summary["skips"] += [(f"{name} ({where})", why) for where, why in skips_in(out)]
    return summary


def main():
    results, pairs = sys.argv[1], sys.argv[2:]
    ok = True
    print("== summary")
    for pair in pairs:
        name, label = pair.split("=", 1)
        try:
            s = suite(f"{results}/{name}.xml")
        except (OSError, ET.ParseError) as e:
            print(f"{label}: DID NOT RUN ({e})")
            ok = False
            continue
        verdict = "passed" if not s["failed"] and s["ctest"] else "FAILED"
        ok = ok and verdict == "passed"
        print(f"{label}: {verdict}: {s['ctest']} ctest tests, {s['gtest_passed']} of "
              f"{s['gtest_ran']} test cases passed, {len(s['skips'])} skipped")
        for failed in s["failed"]:
            print(f"  failed: {failed}")
        for what, why in s["skips"]:
            print(f"  skipped: {what}: {why}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
