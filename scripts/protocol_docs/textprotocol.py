"""What comes from the description's text protocol ("protocol1") besides PROTOCOL.md: the
README's table of commands, the command words of the dispatcher's fuzz dictionary, and the
JavaScript client's module of engine facts (version, subprotocol, the commands' data)."""

import json

from .markdown import code, table, text

# The text a command's arguments take in the dictionary and the README.
_TAKES_BARE = ("none", "optional")
_TAKES_ARGUMENTS = ("required", "optional")


def _commands(data):
    return data["protocol1"]["commands"]


def _error_text(family, token):
    # A token is one word; anything else describes what stands in its place.
    if " " in token:
        return code(f"{family}.error:") + " " + text(token)
    return code(f"{family}.error:{token}")


def _reply_text(kind):
    # A kind that ends in a space is a line prefix ("[dump] "), not a word before ":".
    return code(kind + "…") if kind.endswith(" ") else code(kind + ":…")


def _what_it_does(command):
    """The summary, then the notes and the record's members where the command has them."""
    parts = [text(command.get("summary", ""))]
    if command.get("notes"):
        parts.append(text(command["notes"]))
    if command.get("record"):
        parts.append("record: " + ", ".join(code(name) for name in command["record"]))
    return "; ".join(parts)


def readme_table(data):
    """The README's table of text commands: usage, what it does, replies, errors."""
    rows = []
    for command in _commands(data):
        usage = code(command.get("usage", command["name"]))
        if command.get("unstable"):
            usage += " (unstable)"
        replies = ", ".join(_reply_text(kind) for kind in command.get("replies", []))
        family = command.get("family") or command["name"]
        errors = ", ".join(_error_text(family, token) for token in command.get("errors", []))
        rows.append([usage, _what_it_does(command), replies or "none", errors])
    return table(["command", "what it does", "replies", "errors"], rows)


def dictionary_lines(data):
    """The fuzz dictionary's command words: each command bare, and with ":" when it takes
    arguments."""
    lines = []
    for command in _commands(data):
        name = command["name"]
        key = name.replace(".", "_")
        arguments = command.get("arguments", "none")
        if arguments in _TAKES_BARE:
            lines.append(f'{key}="{name}"')
        if arguments in _TAKES_ARGUMENTS:
            suffix = "_arguments" if arguments in _TAKES_BARE else ""
            lines.append(f'{key}{suffix}="{name}:"')
    return "\n".join(lines)


def javascript_module(data):
    """clients/js/src/engine-description.mjs."""
    commands = [{
        "name": command["name"],
        "arguments": command.get("arguments", "none"),
        "family": command.get("family"),
        "replies": command.get("replies", []),
        "errors": command.get("errors", []),
        "unstable": bool(command.get("unstable", False)),
    } for command in _commands(data)]
    listed = ",\n".join("  " + json.dumps(command, ensure_ascii=False) for command in commands)
    return (
        "// Made by scripts/generate-protocol-docs.py from the engine's own description of its\n"
        "// protocols (docs/protocol.json); `cmake --build build --target protocol-docs` remakes it.\n"
        "\n"
        f"export const ENGINE_VERSION = {json.dumps(data['engineVersion'])};\n"
        f"export const SUBPROTOCOL = {json.dumps(data['subprotocol'])};\n"
        f"export const PROTOCOL_VERSION = {json.dumps(data['protocol'])};\n"
        "\n"
        "// The text protocol's commands in the engine's matching order: each one's name, whether\n"
        "// it takes arguments after a \":\" (none, required, optional), the word its replies and\n"
        "// error replies share, its reply kinds, its error tokens and whether it is unstable.\n"
        f"export const TEXT_COMMANDS = [\n{listed},\n];\n")
