# SPDX-License-Identifier: Apache-2.0
"""Every command's --json output, and every plan example, against its schema in docs/schema.

Runs linkvane-cli against linkvane-devsim on a loopback port: each command once per shape its
output takes (devices found and none, a dry run, an Update, a check that finds a field different,
a failure that leaves only the error document), and validates what it wrote. Exit 0 when all validate, 1 when one does not, 77 without jsonschema.
Usage: check-json-schemas.py DEVSIM CLI SCHEMA_DIR
"""
import json
import pathlib
import subprocess
import sys
import tempfile

try:
    import jsonschema
    import referencing
except ImportError:
    print("python3-jsonschema is not installed: skipped")
    sys.exit(77)

DEVSIM, CLI, SCHEMAS = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
EXAMPLES = sorted((SCHEMAS / "examples").glob("*.json"))
# A KR-770A keeps its baud whatever it is sent: the check after its Update finds a mismatch.
FAULT = "ignore-field:SIOBaud@KR-770A"
KR700, KR770A, WINDOWLESS, OTHER = ("00-50-C2-00-00-01", "00-50-C2-00-00-03", "00-50-C2-00-00-05",
                                    "00-50-C2-00-00-04")
PLAN = {"defaults": {"set": {"port2.baud": "9600"}},
        "devices": [{"device": KR700, "set": {"SIOBaud": "115200", "DeviceID": "V"}},
                    {"device": KR770A, "set": {"SIOBaud": "115200"}},
                    {"device": "00-50-C2-7F-7F-7F"}]}

# (schema, arguments, exit status, a text the output must hold to show the case took its path).
# "{plan}" is the plan above, "{bad}" a plan without devices, "{none}" a port no device listens on;
# order matters: reads first.
CASES = [
    ("search", ["search"], 0, '"macField"'),
    ("search", ["{none}", "search"], 0, "["),
    ("search", ["search", "--details"], 0, '"version"'),
    ("show", ["show", KR770A], 0, '"label"'),
    ("show", ["show", WINDOWLESS], 0, '"window": null'),
    ("export", ["export", "--all"], 0, '"window"'),
    ("export", ["export", "--all", "--roles"], 0, '"port1.baud"'),
    ("plan", ["export", "--all", "--roles"], 0, '"set"'),
    ("plan", ["export", "--select", "model=KR-7*"], 0, '"model"'),
    ("export", ["{none}", "export", "--all"], 0, '"devices"'),
    ("diagnose", ["diagnose"], 0, '"interfaces"'),
    ("diagnose", ["{none}", "diagnose"], 3, '"no-answer"'),
    ("apply", ["apply", "--dry-run", "{plan}"], 5, '"would update"'),
    ("apply", ["apply", "--verify", "{plan}"], 5, '"result": "mismatch"'),
    ("apply", ["apply", "--verify", "{plan}"], 5, '"unchanged"'),
    ("set", ["set", "--dry-run", KR700, "SIOBaud=19200", "SetupPassword=pw"], 0, '"dryRun"'),
    ("set", ["set", "--verify", KR700, "SIOBaud=19200"], 0, '"verified"'),
    ("set", ["set", "--dry-run", KR700, "SIOBaud=19200"], 0, '"fields": ['),
    ("set", ["set", "--verify", KR770A, "SIOBaud=19200"], 3, '"mismatch"'),
    ("set-mac", ["set-mac", "--access-code", "QuartzmoonTEST", OTHER, "00-50-C2-00-00-44"], 0, '"changed"'),
    ("error", ["frobnicate"], 1, "unknown command `frobnicate`"),
    ("search", ["--jsn", "search"], 1, "did you mean --json?"),
    ("show", ["show", "00-50-C2-7F-7F-7F"], 2, "no device 00-50-C2-7F-7F-7F answered"),
    ("set", ["set", KR700, "Nope=1"], 4, "has no field Nope"),
    ("set-mac", ["set-mac", "--access-code", "x", OTHER, "01-00-00-00-00-00"], 4, "group address"),
    ("export", ["export"], 1, "export takes one or more DEVICE"),
    ("apply", ["apply", "{bad}"], 1, "line 1, column 1"),
    ("diagnose", ["diagnose", "x"], 1, "diagnose takes no operands"),
]


def validator(name):
    # A schema names another by its file name, as it lies beside it.
    schemas = {p.name: json.loads(p.read_text()) for p in SCHEMAS.glob("*.schema.json")}
    registry = referencing.Registry().with_resources(
        (n, referencing.Resource.from_contents(s, referencing.jsonschema.DRAFT202012)) for n, s in schemas.items())
    schema = schemas[f"{name}.schema.json"]
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema, registry=registry)


def problems(name, document):
    return [f"{'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}"
            for e in validator(name).iter_errors(document)]


def main():
    failed = []
    sim = subprocess.Popen([DEVSIM, "--port", "0", "--fault", FAULT], stdout=subprocess.PIPE, text=True)
    work = tempfile.TemporaryDirectory()
    try:
        port = sim.stdout.readline().strip().rsplit(":", 1)[-1]  # "linkvane-devsim: listening on 127.0.0.1:N"
        plan = pathlib.Path(work.name) / "plan.json"
        plan.write_text(json.dumps(PLAN))
        bad = pathlib.Path(work.name) / "bad.json"
        bad.write_text('{"devices": 1}')
        runs = list(CASES) + [("apply", ["apply", "--dry-run", str(e)], None, '"would update"') for e in EXAMPLES]
        for schema, args, code, marker in runs:
            target = ["--port", "9" if "{none}" in args else port]
            args = [{"{plan}": str(plan), "{bad}": str(bad)}.get(a, a) for a in args if a != "{none}"]
            cmd = [CLI, "--json", "--broadcast", "127.255.255.255", *target, "--wait", "500", *args]
            run = subprocess.run(cmd, capture_output=True, text=True, timeout=120)
            what = " ".join(args)
            # An example's own devices need not answer (exit 5), but it must be a valid plan (not 1).
            if run.returncode != code and not (code is None and run.returncode in (0, 5)):
                failed.append(f"{what}: exit {run.returncode}, expected {code}: {run.stderr.strip()}")
            elif marker not in run.stdout:
                failed.append(f"{what}: {marker} not in the output:\n{run.stdout}")
            else:
                failed += [f"{what} ({schema}.schema.json): {p}" for p in problems(schema, json.loads(run.stdout))]
        for example in EXAMPLES:
            failed += [f"{example.name}: {p}" for p in problems("plan", json.loads(example.read_text()))]
    finally:
        sim.terminate()
        sim.wait(timeout=30)
        work.cleanup()
    for line in failed:
        print("FAIL", line)
    print(f"{len(CASES) + 2 * len(EXAMPLES)} documents checked, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
