"""Markdown made from the protocol description: the whole of docs/PROTOCOL.md (around a
hand-written template) and the compact tables the README carries."""

import json

from . import description

# Characters that Markdown or a table cell would read as markup: the description's texts
# are plain text and must come out as they are.
_MARKUP = set("\\`*_[]<>|")


def text(value):
    """Plain text as Markdown that shows exactly that text, on one line."""
    plain = " ".join(str(value).split())
    return "".join("\\" + char if char in _MARKUP else char for char in plain)


def code(value):
    """A code span; a "|" inside one still needs its escape in a table row."""
    return "`" + str(value).replace("|", "\\|") + "`"


def code_or_blank(value):
    return code(value) if value else ""


def json_code(value):
    return code(json.dumps(value, ensure_ascii=False))


def type_text(value):
    """A member's or param's type in words, e.g. "array of object or null"."""
    words = value["type"]
    if value["type"] == "array" and "items" in value:
        words = "array of " + type_text(description.item_value(value["items"]))
    if "values" in value:
        words += ": " + ", ".join(json_code(item) for item in value["values"])
    if value.get("nullable"):
        words += " or null"
    return words


def _member_rows(members, prefix=""):
    """Every member, nested ones named by their path ("marker.ticks", "markers[].name")."""
    for member in members:
        path = prefix + member["name"]
        yield path, member
        if member.get("members"):
            yield from _member_rows(member["members"], path + ".")
        items = description.item_value(member.get("items", {}))
        if items.get("members"):
            yield from _member_rows(items["members"], path + "[].")


def row(cells):
    return "| " + " | ".join(cells) + " |"


def table(header, rows):
    lines = [row(header), row(["---"] * len(header))]
    lines.extend(row(cells) for cells in rows)
    return "\n".join(lines)


def members_table(members):
    if members is None:
        return "Not described by this engine."
    if not members:
        return "No members."
    return table(
        ["member", "type", "meaning"],
        [[code(path), type_text(member), text(member.get("summary", ""))]
         for path, member in _member_rows(members)],
    )


def param_range(param):
    low, high = param.get("minimum"), param.get("maximum")
    if low is not None and high is not None:
        return f"{low} to {high}"
    if low is not None:
        return f"at least {low}"
    if high is not None:
        return f"at most {high}"
    return ""


def params_table(params):
    if not params:
        return "No params."
    return table(
        ["param", "type", "required", "default", "range", "meaning"],
        [[code(param["name"]), type_text(param), "yes" if param["required"] else "no",
          json_code(param["default"]) if "default" in param else "", param_range(param),
          text(param.get("summary", ""))] for param in params],
    )


def types_table(data):
    return table(["type", "meaning"],
                 [[code(name), text(summary)] for name, summary in data["types"].items()])


def ops_section(data):
    parts = []
    for op in data["ops"]:
        sender = {"client": "sent by the client", "server": "sent by the server"}.get(
            op.get("from", ""), "")
        parts.append(f"### {code(op['op'])}" + (f" ({sender})" if sender else ""))
        if op.get("summary"):
            parts.append(text(op["summary"]))
        parts.append(members_table(op.get("members")))
    return "\n\n".join(parts)


def methods_section(data):
    index = table(["method", "what it does"],
                  [[code(method["name"]), text(method.get("summary", ""))]
                   for method in data["methods"]])
    parts = [index]
    for method in data["methods"]:
        parts.append(f"### {code(method['name'])}")
        if method.get("summary"):
            parts.append(text(method["summary"]))
        parts.append("Params:\n\n" + params_table(method["params"]))
        parts.append("Result:\n\n" + members_table(method.get("result")))
    return "\n\n".join(parts)


def errors_table(data):
    return table(["code", "meaning", "protocol 1's tokens"],
                 [[code(error["code"]), text(error.get("summary", "")),
                   ", ".join(code(token) for token in error.get("protocol1", []))]
                  for error in data["errors"]])


def topics_section(data):
    parts = []
    for topic in data["topics"]:
        parts.append(f"### {code(topic['name'])}")
        if topic.get("summary"):
            parts.append(text(topic["summary"]))
        parts.append("Event data:\n\n" + members_table(topic.get("data")))
    return "\n\n".join(parts)


def close_codes_table(data):
    return table(["close code", "name", "when"],
                 [[str(close["code"]), code_or_blank(close.get("name", "")),
                   text(close.get("summary", ""))] for close in data["closeCodes"]])


def protocol1_table(data):
    return table(["command", "argument", "what it does"],
                 [[code(command["name"]), text(command.get("arguments", "")),
                   text(command.get("summary", ""))]
                  for command in data["protocol1"]["commands"]])


def protocol_document(data, template):
    """docs/PROTOCOL.md: the template with each @PLACEHOLDER@ filled. A placeholder the
    template lacks would drop a whole part of the protocol, so it is refused."""
    sections = {
        "@ENGINE_VERSION@": text(data["engineVersion"]),
        "@PROTOCOL@": str(data["protocol"]),
        "@SUBPROTOCOL@": code(data["subprotocol"]),
        "@TYPES@": types_table(data),
        "@OPS@": ops_section(data),
        "@METHODS@": methods_section(data),
        "@ERRORS@": errors_table(data),
        "@TOPICS@": topics_section(data),
        "@CLOSE_CODES@": close_codes_table(data),
        "@PROTOCOL1@": protocol1_table(data),
    }
    for placeholder, content in sections.items():
        if placeholder not in template:
            raise ValueError(f"the PROTOCOL.md template lacks {placeholder}")
        template = template.replace(placeholder, content)
    return template


def _compact_members(members):
    """Members in one cell: `angle` (integer or null), `marker` {`ticks`, ...} or null."""
    if members is None:
        return "not described"
    parts = []
    for member in members:
        words = code(member["name"])
        nested = member.get("members") or description.item_value(
            member.get("items", {})).get("members")
        if nested:
            inner = "{" + _compact_members(nested) + "}"
            words += f" [{inner}]" if member["type"] == "array" else f" {inner}"
            words += " or null" if member.get("nullable") else ""
        else:
            words += f" ({type_text(member)})"
        parts.append(words)
    return ", ".join(parts)


def _compact_params(params):
    parts = []
    for param in params:
        details = [param["type"]]
        if param["required"]:
            details.append("required")
        if param_range(param):
            details.append(param_range(param))
        if "default" in param:
            details.append("default " + json_code(param["default"]))
        parts.append(f"{code(param['name'])} ({', '.join(details)})")
    return ", ".join(parts)


def readme_tables(data):
    """The README's tables: methods, errors, topics and close codes, one line each."""
    return "\n\n".join([
        table(["method", "params", "result"],
              [[code(method["name"]), _compact_params(method["params"]),
                _compact_members(method.get("result"))] for method in data["methods"]]),
        table(["error", "meaning"],
              [[code(error["code"]), text(error.get("summary", ""))] for error in data["errors"]]),
        table(["topic", "event data"],
              [[code(topic["name"]), _compact_members(topic.get("data"))]
               for topic in data["topics"]]),
        close_codes_table(data),
    ])
