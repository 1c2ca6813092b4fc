#!/usr/bin/python3
"""The protocol documents' generator, run as the build runs it, against a small sample
description in a scratch copy of the files it writes.

    generator_test.py [GeneratorTest | TypesTest]

TypesTest compiles the generated declarations with tsc (on PATH, or $ZYL_TSC)."""

import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
REPO = HERE.parent.parent
GENERATOR = REPO / "scripts" / "generate-protocol-docs.py"
SAMPLE = HERE / "sample-description.json"
README_HEAD = "# Sample\n\nText before | the tables.\n\n<!-- generated: protocol tables -->\n"
README_TAIL = "<!-- end generated -->\n\nText after.\n"


class Scratch:
    """A root with the README's markers and a describe tool that prints a given text."""

    def __init__(self, description_text):
        self.directory = tempfile.TemporaryDirectory()
        self.root = pathlib.Path(self.directory.name)
        (self.root / "docs").mkdir()
        (self.root / "clients" / "js").mkdir(parents=True)
        (self.root / "README.md").write_text(README_HEAD + "old hand-written table\n" + README_TAIL)
        self.output = self.root / "tool-output.json"
        self.output.write_text(description_text)
        self.tool = self.root / "describe"
        self.tool.write_text(f"#!/bin/sh\nexec cat '{self.output}'\n")
        self.tool.chmod(0o755)

    def run(self, *arguments):
        return subprocess.run(
            ["/usr/bin/python3", str(GENERATOR), "--root", str(self.root),
             "--describe-tool", str(self.tool), *arguments],
            capture_output=True, text=True, timeout=60)

    def read(self, name):
        return (self.root / name).read_text()

    def close(self):
        self.directory.cleanup()


def sample_text():
    return SAMPLE.read_text()


def cells(line):
    """The cells of a Markdown table row, split at the pipes that are not escaped."""
    return re.split(r"(?<!\\)\|", line.strip())[1:-1]


class GeneratorTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch(sample_text())
        self.addCleanup(self.scratch.close)

    def test_check_passes_after_generating_and_names_each_stale_file(self):
        generated = self.scratch.run()
        self.assertEqual(generated.returncode, 0, generated.stderr)
        self.assertEqual(self.scratch.run("--check").returncode, 0)
        self.assertEqual(self.scratch.read("docs/protocol.json"), sample_text())

        again = self.scratch.run()
        self.assertEqual((again.returncode, again.stdout), (0, ""), "a second run rewrote files")

        with open(self.scratch.root / "clients/js/protocol.d.ts", "a") as declarations:
            declarations.write("// edited by hand\n")
        edited = self.scratch.read("README.md").replace("`too_many`", "`too_few`")
        (self.scratch.root / "README.md").write_text(edited)
        changed = json.loads(sample_text())
        changed["methods"][0]["summary"] = "The engine's version, changed."
        self.scratch.output.write_text(json.dumps(changed, indent=2) + "\n")

        check = self.scratch.run("--check")
        self.assertEqual(check.returncode, 1)
        for name in ("docs/protocol.json", "README.md", "clients/js/protocol.d.ts"):
            self.assertIn(f"{name} is stale", check.stderr)
        self.assertNotIn("docs/PROTOCOL.md is stale", check.stderr,
                         "the documents are made from docs/protocol.json, not the tool")
        self.assertIn("// edited by hand", self.scratch.read("clients/js/protocol.d.ts"),
                      "--check wrote a file")

    def test_text_protocol_outputs_follow_the_commands_and_go_stale_with_them(self):
        described = json.loads(sample_text())
        described["protocol1"]["commands"] = [
            {"name": "get.thing", "arguments": "optional", "summary": "a thing",
             "usage": "get.thing[:ID]", "family": "thing", "replies": ["thing"],
             "errors": ["parse", "a number"], "unstable": True, "notes": "ID: any",
             "record": ["id", "size"]}]
        self.scratch.output.write_text(json.dumps(described))
        (self.scratch.root / "fuzz" / "dict").mkdir(parents=True)
        (self.scratch.root / "fuzz/dict/dispatch.dict").write_text(
            "before=\"x\"\n# generated: text protocol commands\nold=\"y\"\n"
            "# end generated: text protocol commands\nafter=\"z\"\n")
        (self.scratch.root / "README.md").write_text(
            README_HEAD + README_TAIL + "<!-- generated: text protocol commands -->\nold\n"
            "<!-- end generated: text protocol commands -->\n")
        generated = self.scratch.run()
        self.assertEqual(generated.returncode, 0, generated.stderr)

        self.assertEqual(self.scratch.read("fuzz/dict/dispatch.dict"),
                         "before=\"x\"\n# generated: text protocol commands\n"
                         "get_thing=\"get.thing\"\nget_thing_arguments=\"get.thing:\"\n"
                         "# end generated: text protocol commands\nafter=\"z\"\n")
        row = next(line for line in self.scratch.read("README.md").splitlines()
                   if line.startswith("| `get.thing"))
        self.assertEqual(cells(row), [" `get.thing[:ID]` (unstable) ",
                                      " a thing; ID: any; record: `id`, `size` ",
                                      " `thing:…` ",
                                      " `thing.error:parse`, `thing.error:` a number "])
        module = self.scratch.read("clients/js/src/engine-description.mjs")
        self.assertIn('"name": "get.thing", "arguments": "optional", "family": "thing"', module)
        self.assertIn(f'export const ENGINE_VERSION = "{described["engineVersion"]}";', module)

        # The documents are made from docs/protocol.json; a command renamed there leaves
        # each of them stale.
        described["protocol1"]["commands"][0].update(name="get.other", usage="get.other")
        (self.scratch.root / "docs/protocol.json").write_text(json.dumps(described))
        check = self.scratch.run("--check")
        self.assertEqual(check.returncode, 1)
        for name in ("fuzz/dict/dispatch.dict", "README.md", "clients/js/src/engine-description.mjs"):
            self.assertIn(f"{name} is stale", check.stderr)

    def test_readme_keeps_everything_outside_its_markers(self):
        self.assertEqual(self.scratch.run().returncode, 0)
        readme = self.scratch.read("README.md")
        self.assertTrue(readme.startswith(README_HEAD), readme)
        self.assertTrue(readme.endswith(README_TAIL), readme)
        self.assertNotIn("old hand-written table", readme)
        rows = [line for line in readme.splitlines() if line.startswith("| `")]
        angle = next(line for line in rows if line.startswith("| `angle.get`"))
        self.assertEqual(len(cells(angle)), 3, angle)
        self.assertIn("`ticks` (ticks, required)", angle)
        self.assertIn("`track` (integer, at least -1, default `-1`)", angle)
        markers = next(line for line in rows if line.startswith("| `markers.list`"))
        self.assertIn("`markers` [{`index` (integer), `name` (string or null), "
                      "`ticks` (ticks or null)}]", markers)
        dump = next(line for line in rows if line.startswith("| `debug.dumpAngle`"))
        self.assertIn("`lines` (array of string)", dump)

    def test_protocol_document_keeps_summaries_plain_and_lists_every_part(self):
        self.assertEqual(self.scratch.run().returncode, 0)
        document = self.scratch.read("docs/PROTOCOL.md")
        self.assertNotRegex(document, r"@[A-Z0-9_]+@", "a placeholder was left unfilled")
        index_row = next(line for line in document.splitlines()
                         if line.startswith("| `angle.get` |"))
        self.assertEqual(len(cells(index_row)), 2, index_row)
        self.assertIn("pipes and \\<tags\\> stay text", index_row)
        for expected in ("| `markers[].ticks` | ticks or null | Its time |",
                         "| `lines` | array of string | The dump's lines |",
                         "| `in.durationTicks` | ticks | Its length |",
                         "| `authentication.salt` | string | 32 random bytes, base64 |",
                         "| `angle` | integer | yes |  | 1 to 16 | The camera |",
                         "| `type` | string: `\"play\"`, `\"pause\"` | What changed |",
                         "| `invalid_params` | A param is missing, of the wrong type or out of "
                         "range. | `parse`, `range` |",
                         "| 4004 | `authentication_failed` | A wrong password answer. |",
                         "| `get.angle` | required | The angle at a time. |",
                         "### `hello` (sent by the server)"):
            self.assertIn(expected, document)

    def test_a_description_of_the_wrong_shape_writes_nothing(self):
        broken = json.loads(sample_text())
        broken["methods"][3]["result"][1]["items"]["members"][2]["type"] = "tick"
        self.scratch.output.write_text(json.dumps(broken))
        run = self.scratch.run()
        self.assertEqual(run.returncode, 2)
        self.assertIn("methods[3].result[1].items.members[2].type: unknown type 'tick'", run.stderr)
        self.assertFalse((self.scratch.root / "docs/protocol.json").exists())
        self.assertFalse((self.scratch.root / "clients/js/protocol.d.ts").exists())

    def test_a_readme_without_both_markers_is_refused(self):
        (self.scratch.root / "README.md").write_text(README_HEAD + "no end marker\n")
        run = self.scratch.run()
        self.assertEqual(run.returncode, 2)
        self.assertIn("<!-- end generated -->", run.stderr)
        self.assertFalse((self.scratch.root / "docs/PROTOCOL.md").exists())


class TypesTest(unittest.TestCase):
    def setUp(self):
        self.tsc = os.environ.get("ZYL_TSC") or shutil.which("tsc")
        self.assertIsNotNone(self.tsc, "tsc is needed (Debian package node-typescript)")

    def compile(self, directory, *files):
        return subprocess.run(
            [self.tsc, "--noEmit", "--strict", "--target", "es2020", "--lib", "es2020,dom",
             "--moduleResolution", "node", *files],
            cwd=directory, capture_output=True, text=True, timeout=300)

    def test_generated_declarations_type_the_client(self):
        scratch = Scratch(sample_text())
        self.addCleanup(scratch.close)
        self.assertEqual(scratch.run().returncode, 0)
        client = scratch.root / "clients" / "js"
        shutil.copy(REPO / "clients" / "js" / "index.d.ts", client)
        shutil.copy(HERE / "usage.ts", client)
        run = self.compile(client, "usage.ts")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)

    def test_the_repository_declarations_compile(self):
        run = self.compile(REPO / "clients" / "js", "index.d.ts", "protocol.d.ts")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=2)
