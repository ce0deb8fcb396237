"""Checks on the JSON that "kzvtool info --json" prints, shared by the kzvtool_*.sh tests.

    python3 kzvtool_checks.py REPORT.json CHECKS.py

runs CHECKS.py with `report` (the parsed array), `by_name`, `expect`, `near` and `entry_for`
defined, and exits 1 when any expectation failed (each failure is printed).
"""
import json
import math
import sys

failures = 0


def near(actual, expected, tolerance=1e-4):
    """True when numbers, or lists of numbers, agree within tolerance (relative for big values)."""
    if isinstance(expected, (list, tuple)):
        return isinstance(actual, list) and len(actual) == len(expected) and all(
            near(a, e, tolerance) for a, e in zip(actual, expected))
    if actual is None or expected is None:
        return actual is expected
    if isinstance(expected, bool) or isinstance(actual, bool):
        return actual is expected
    return math.isclose(actual, expected, rel_tol=tolerance, abs_tol=tolerance)


def expect(description, actual, expected, tolerance=None):
    """Exact comparison, or near() when a tolerance is given or the expectation holds floats."""
    global failures
    floats = isinstance(expected, float) or (
        isinstance(expected, (list, tuple)) and any(isinstance(e, float) for e in expected))
    ok = near(actual, expected, tolerance or 1e-4) if (tolerance or floats) else actual == expected
    if ok:
        print("ok: %s" % description)
    else:
        failures += 1
        print("FAIL: %s: expected %r, got %r" % (description, expected, actual))


def by_name(items, name):
    """The element of a list of objects whose "name" is name (a failing stand-in when none)."""
    for item in items:
        if item.get("name") == name:
            return item
    expect("object named %s exists" % name, False, True)
    return {}


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        report = json.load(f)

    def entry_for(suffix):
        for entry in report:
            if entry.get("file", "").endswith(suffix):
                return entry
        expect("report entry for %s" % suffix, False, True)
        return {}

    with open(sys.argv[2], encoding="utf-8") as f:
        code = f.read()
    scope = {"report": report, "by_name": by_name, "expect": expect, "near": near, "entry_for": entry_for,
             "math": math}
    try:
        exec(compile(code, sys.argv[2], "exec"), scope)
    except Exception as e:  # a missing field is a failed check, not a crash of the test
        global failures
        failures += 1
        print("FAIL: checks stopped: %r" % (e,))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
