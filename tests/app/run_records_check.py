#!/usr/bin/python3
"""Runs the real program for a repeated 32M test with run records and checks
every record against docs/run-record.schema.json, and the spread line.

usage: run_records_check.py <rootix binary> <source folder>
Exit 77 (skipped) when python3-jsonschema is missing."""

import json
import os
import re
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed: run records are not checked")
    sys.exit(77)

binary, source = sys.argv[1], sys.argv[2]
with open(os.path.join(source, "docs", "run-record.schema.json"), encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema, format_checker=jsonschema.FormatChecker())

with tempfile.TemporaryDirectory() as work:
    records = os.path.join(work, "runs.jsonl")
    env = dict(os.environ, TMPDIR=work, XDG_RUNTIME_DIR=work, XDG_CONFIG_HOME=work)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    run = subprocess.run([binary, "-run=32M", "-repeat=3", "-json=" + records, "-exit=1", "--terminal"],
                         cwd=work, env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    failures = []
    if run.returncode != 0:
        failures.append(f"exit status {run.returncode}; stderr: {run.stderr}")
    spread = [l for l in run.stdout.splitlines() if l.startswith("32M: 3 runs, ")]
    pattern = r"32M: 3 runs, best \d+\.\d{3} s, median \d+\.\d{3} s, worst \d+\.\d{3} s, spread \d+\.\d %"
    if len(spread) != 1 or not re.fullmatch(pattern, spread[0]):
        failures.append(f"no spread line in: {run.stdout[-2000:]}")
    if "Warning:" in run.stdout:
        failures.append("a warning reached standard output")
    with open(records, encoding="utf-8") as f:
        lines = f.read().split("\n")
    if lines[-1] != "" or len(lines) != 4:
        failures.append(f"expected three lines, each ending in a line feed; got {len(lines) - 1}")
    ids = set()
    for number, line in enumerate(lines[:-1], 1):
        record = json.loads(line)
        for error in validator.iter_errors(record):
            failures.append(f"record {number}: {error.json_path}: {error.message}")
        ids.add(record["run_id"])
        if record["test"] != 6 or record["numbers"] != 33554432 or record["quick_mode"]:
            failures.append(f"record {number} is not a 32M run: {line}")
        for warning in record["warnings"]:
            if "Warning: " + warning not in run.stderr:
                failures.append(f"record {number}'s warning is not on standard error: {warning}")
    if len(ids) != 3:
        failures.append("run_id repeats")

for failure in failures:
    print("FAIL:", failure)
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)
