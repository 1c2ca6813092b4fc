#!/usr/bin/python3
"""Keeps hostsim/project.schema.json and the simulator's project reader in step.

Every project file in the repository must pass both the schema and `zyl-hostsim --check`;
every file under tests/hostsim/projects/bad/ must be refused by the reader with one stderr
line naming the file and the JSON path of its fault, and by the schema too, except for the
rules that compare two values, which no schema can state.

usage: project_schema_test.py ZYL_HOSTSIM SOURCE_DIR
"""
import json
import os
import subprocess
import sys

try:
    import jsonschema
except ImportError:
    sys.exit("project_schema_test: python3-jsonschema is missing (scripts/install-deps.sh installs it)")

# Bad file -> (the text the reader's line must hold, whether the schema can refuse it).
BAD_PROJECTS = {
    "syntax-error.json": ("syntax-error.json:4:", True),
    "wrong-type.json": ("solo: expected true or false", True),
    "unknown-member.json": ('timelines[0].sequence: unknown member "fps"', True),
    "ticks-per-second-negative.json": ("ticksPerSecond: must be positive", True),
    "ticks-per-frame-zero.json": ("timelines[0].sequence.ticksPerFrame: must be positive", True),
    "host-marker-count-negative.json": ("hostMarkerCount: must not be negative", True),
    "mixer-tracks-negative.json": ("mixer.tracks: must not be negative", True),
    "kind-not-string.json": ("timelines[0].segments[2].root.kind: expected a string", True),
    "rect-right-before-left.json": ("timelines[0].sequence.rect[2]:", False),
    "rect-bottom-above-top.json": ("timelines[0].sequence.rect[3]:", False),
    "segment-end-before-start.json": ("timelines[0].segments[1].end:", False),
}

# npm's manifests, the protocol's description with the sample its generator is tested on, the
# timecode cases the engine and the clients are tested on, and the Companion module's manifest.
NOT_PROJECTS = {"package.json", "package-lock.json", "protocol.json", "sample-description.json",
                "timecode-cases.json", "manifest.json"}


def project_files(root):
    bad_dir = os.path.join(root, "tests", "hostsim", "projects", "bad")
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = [
            name for name in subfolders
            if name not in (".git", "node_modules")
            and not (folder == root and name.startswith("build"))
            and os.path.join(folder, name) != bad_dir
        ]
        for name in files:
            if name.endswith(".json") and name not in NOT_PROJECTS and not name.endswith(".schema.json"):
                yield os.path.join(folder, name)


def schema_errors(validator, path):
    """The schema's objections to the file, or the reason it is not JSON."""
    try:
        with open(path, encoding="utf-8") as file:
            project = json.load(file)
    except ValueError as error:
        return [f"not JSON: {error}"]
    return [f"{'/'.join(map(str, e.absolute_path))}: {e.message}" for e in validator.iter_errors(project)]


def check(hostsim, path):
    run = subprocess.run([hostsim, "--check", path], capture_output=True, text=True, timeout=60)
    return run.returncode, run.stdout, run.stderr.splitlines()


def main():
    hostsim, root = sys.argv[1], os.path.abspath(sys.argv[2])
    with open(os.path.join(root, "hostsim", "project.schema.json"), encoding="utf-8") as file:
        schema = json.load(file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []
    passed = 0

    good = sorted(project_files(root))
    if len(good) < 3:
        failures.append(f"found only {good} as project files under {root}")
    for path in good:
        name = os.path.relpath(path, root)
        errors = schema_errors(validator, path)
        code, _, err = check(hostsim, path)
        if errors:
            failures.append(f"{name}: the schema refuses it: {errors[0]}")
        elif code != 0:
            failures.append(f"{name}: zyl-hostsim --check exits {code}: {err}")
        else:
            passed += 1

    bad_dir = os.path.join(root, "tests", "hostsim", "projects", "bad")
    listed, present = set(BAD_PROJECTS), set(os.listdir(bad_dir))
    if listed != present:
        failures.append(f"bad projects listed but missing: {sorted(listed - present)}, "
                        f"present but not listed: {sorted(present - listed)}")
    for name in sorted(listed & present):
        expected, schema_refuses = BAD_PROJECTS[name]
        path = os.path.join(bad_dir, name)
        code, out, err = check(hostsim, path)
        problems = []
        if code != 2 or out or len(err) != 1 or expected not in err[0] or name not in err[0]:
            problems.append(f"zyl-hostsim --check exits {code} with stdout {out!r} and stderr {err}, "
                            f"expected exit 2 and one line naming {name} and {expected!r}")
        errors = schema_errors(validator, path)
        if schema_refuses and not errors:
            problems.append("the schema accepts it")
        if not schema_refuses and errors:
            problems.append(f"the schema refuses it ({errors[0]}): move it to the rules both check")
        failures.extend(f"bad/{name}: {problem}" for problem in problems)
        passed += not problems

    for failure in failures:
        print("FAIL", failure)
    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
