#!/usr/bin/env python3
"""quilmere-report --format=sarif judged by the published SARIF 2.1.0 schema
(tests/data/sarif) with Debian's python3-jsonschema, and compared with the
tsv report of the same tree: one result per unused file, at its path below
DIR.

usage: sarif_schema_test.py QUILMERE_REPORT SCHEMA
"""
import json
import os
import subprocess
import sys
import tempfile
import urllib.parse

import jsonschema


def run(program, *args):
    done = subprocess.run([program, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          check=False)
    if done.returncode != 0:
        sys.exit(f"{args} exited {done.returncode}: {done.stderr!r}")
    return done.stdout


def unescape_tsv(field):
    out, i = bytearray(), 0
    while i < len(field):
        if field[i:i + 1] == b"\\":
            out += {b"t": b"\t", b"n": b"\n", b"r": b"\r", b"\\": b"\\"}[field[i + 1:i + 2]]
            i += 2
        else:
            out += field[i:i + 1]
            i += 1
    return bytes(out)


def unused_below(tsv, top):
    paths = set()
    for line in tsv.split(b"\n")[:-2]:
        flag, directory, name = line.split(b"\t")
        if flag == b"1":
            path = unescape_tsv(directory) + unescape_tsv(name)
            assert path.startswith(top), path
            paths.add(path[len(top):])
    return paths


def main():
    program, schema_path = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as f:
        validator = jsonschema.Draft4Validator(json.load(f))
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        top = os.fsencode(tmp) + b"/"
        os.makedirs(top + b"sub dir/caf\xe9#1")
        for name, text in [(b"index.cfm", b'<img src="used.gif">'), (b"used.gif", b""),
                           (b"100%.gif", b""), (b"a:b,c?.gif", b""),
                           (b"sub dir/caf\xe9#1/\xc3\xa9\tx.gif", b""), (b"sub dir/old.gif", b"")]:
            with open(top + name, "wb") as f:
                f.write(text)
        for options in [[], ["--max-files=2"]]:
            log = json.loads(run(program, "--format=sarif", *options, tmp))
            errors = [f"{list(e.absolute_path)}: {e.message}" for e in validator.iter_errors(log)]
            for error in errors:
                print(f"{options}: {error}")
            failures += bool(errors)

            tsv = run(program, *options, tmp)
            run_ = log["runs"][0]
            results = run_["results"]
            located = [urllib.parse.unquote_to_bytes(
                r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]) for r in results]
            expected = unused_below(tsv, top)
            root = urllib.parse.unquote_to_bytes(run_["originalUriBaseIds"]["SRCROOT"]["uri"])
            checks = {
                "one result per unused file": sorted(located) == sorted(expected),
                "every result is the unused-file rule": all(
                    r["ruleId"] == "unused-file" for r in results),
                "the base is DIR": root == b"file://" + top,
                "a small table is said": run_["properties"]["allStored"] == (not options)
                and ("toolExecutionNotifications" in run_["invocations"][0]) == bool(options),
            }
            for what, ok in checks.items():
                if not ok:
                    print(f"{options}: not so: {what}\n{json.dumps(log, indent=1)}")
                    failures += 1
            if not options and len(expected) != 4:
                print(f"the site should have 4 unused files, not {sorted(expected)}")
                failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
