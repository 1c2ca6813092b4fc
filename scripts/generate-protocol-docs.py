#!/usr/bin/python3
"""Makes the protocol's documents from the engine's own description of it.

    generate-protocol-docs.py [--root DIR] [--describe-tool PATH] [--check]

With --describe-tool (the built zyl-describe), its output is docs/protocol.json. From
docs/protocol.json alone come docs/PROTOCOL.md, the README's protocol tables (between
its marker comments), clients/js/protocol.d.ts, clients/js/src/engine-description.mjs and the
command words of fuzz/dict/dispatch.dict (between its marker lines) and the version in
clients/js/package.json. --check changes nothing: it exits 1
and names each file that differs from what would be written, 0 when none does. Any
other failure (a description of the wrong shape, missing markers) exits 2."""

import argparse
import pathlib
import re
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

from protocol_docs import description, markdown, textprotocol, typescript  # noqa: E402

DESCRIPTION = "docs/protocol.json"
PROTOCOL_MD = "docs/PROTOCOL.md"
README = "README.md"
DECLARATIONS = "clients/js/protocol.d.ts"
JS_DESCRIPTION = "clients/js/src/engine-description.mjs"
DICTIONARY = "fuzz/dict/dispatch.dict"
PACKAGE = "clients/js/package.json"
TEMPLATE = pathlib.Path(__file__).resolve().parent / "protocol_docs" / "PROTOCOL.template.md"
BEGIN_MARKER = "<!-- generated: protocol tables -->"
END_MARKER = "<!-- end generated -->"
COMMANDS_BEGIN_MARKER = "<!-- generated: text protocol commands -->"
COMMANDS_END_MARKER = "<!-- end generated: text protocol commands -->"
DICTIONARY_BEGIN_MARKER = "# generated: text protocol commands"
DICTIONARY_END_MARKER = "# end generated: text protocol commands"


class GenerationError(Exception):
    pass


def run_describe_tool(tool):
    try:
        done = subprocess.run([tool], capture_output=True, check=False, timeout=60)
    except OSError as error:
        raise GenerationError(f"cannot run {tool}: {error}") from None
    if done.returncode != 0:
        reason = done.stderr.decode(errors="replace").strip()
        raise GenerationError(f"{tool} failed ({done.returncode}): {reason}")
    return done.stdout.decode("utf-8")


def with_region(name, document, begin, end, content, blank="\n"):
    """The document with the text between its markers replaced; exactly one pair is needed."""
    if document.count(begin) != 1 or document.count(end) != 1:
        raise GenerationError(f"{name} needs one {begin} and one {end} line")
    head, rest = document.split(begin)
    if end not in rest:
        raise GenerationError(f"{name}: {end} comes before {begin}")
    _, tail = rest.split(end)
    return f"{head}{begin}\n{blank}{content}\n{blank}{end}{tail}"


def with_readme_tables(readme, tables):
    # Blank lines around the tables, so that neither marker is read as a table row.
    return with_region(README, readme, BEGIN_MARKER, END_MARKER, tables)


def with_readme_commands(readme, data):
    """The README with its table of text commands, where it has that table's markers."""
    if COMMANDS_BEGIN_MARKER not in readme and COMMANDS_END_MARKER not in readme:
        return readme
    return with_region(README, readme, COMMANDS_BEGIN_MARKER, COMMANDS_END_MARKER,
                       textprotocol.readme_table(data))


def dictionary_file(root, data):
    """{DICTIONARY: its text} with the command words made; nothing where the root has no
    dictionary."""
    dictionary = read_or_none(root / DICTIONARY)
    if dictionary is None:
        return {}
    return {DICTIONARY: with_region(DICTIONARY, dictionary, DICTIONARY_BEGIN_MARKER,
                                    DICTIONARY_END_MARKER, textprotocol.dictionary_lines(data),
                                    blank="")}


def package_file(root, data):
    """{PACKAGE: its text} with the engine's version as the package's; nothing where the root
    has no package."""
    package = read_or_none(root / PACKAGE)
    if package is None:
        return {}
    versioned, count = re.subn(r'^  "version": "[^"]*",$', f'  "version": "{data["engineVersion"]}",',
                               package, count=1, flags=re.MULTILINE)
    if count != 1:
        raise GenerationError(f'{PACKAGE} needs a line  "version": "...",')
    return {PACKAGE: versioned}


def generated_files(root, description_text):
    """Each generated file's path under root and its new text."""
    try:
        data = description.load(description_text)
        readme = (root / README).read_text(encoding="utf-8")
        readme = with_readme_commands(readme, data)
        return {
            PROTOCOL_MD: markdown.protocol_document(data, TEMPLATE.read_text(encoding="utf-8")),
            README: with_readme_tables(readme, markdown.readme_tables(data)),
            DECLARATIONS: typescript.declarations(data),
            JS_DESCRIPTION: textprotocol.javascript_module(data),
            **dictionary_file(root, data),
            **package_file(root, data),
        }
    except (description.DescriptionError, ValueError) as error:
        raise GenerationError(f"{DESCRIPTION}: {error}") from None


def read_or_none(path):
    try:
        return path.read_text(encoding="utf-8")
    except FileNotFoundError:
        return None


def main(argv):
    parser = argparse.ArgumentParser(description="Make the protocol's documents.")
    parser.add_argument("--root", type=pathlib.Path,
                        default=pathlib.Path(__file__).resolve().parent.parent)
    parser.add_argument("--describe-tool", help="the built zyl-describe")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; exit 1 naming each stale file")
    options = parser.parse_args(argv)
    root = options.root

    try:
        wanted = {}
        if options.describe_tool:
            wanted[DESCRIPTION] = run_describe_tool(options.describe_tool)
        description_text = wanted.get(DESCRIPTION) if not options.check else None
        if description_text is None:
            description_text = read_or_none(root / DESCRIPTION)
            if description_text is None:
                raise GenerationError(f"{DESCRIPTION} is missing: give --describe-tool")
        wanted.update(generated_files(root, description_text))
    except (GenerationError, OSError, UnicodeDecodeError) as error:
        print(f"generate-protocol-docs: {error}", file=sys.stderr)
        return 2

    stale = [name for name, text in wanted.items() if read_or_none(root / name) != text]
    if options.check:
        for name in stale:
            print(f"generate-protocol-docs: {name} is stale; run "
                  "cmake --build build --target protocol-docs", file=sys.stderr)
        return 1 if stale else 0
    for name in stale:
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_text(wanted[name], encoding="utf-8")
        print(f"wrote {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
