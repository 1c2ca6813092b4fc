"""Reads the protocol description (docs/protocol.json) and refuses one that the generators
could only render wrongly: a member whose type is not among the described types, a list
that is not a list, a name that is missing."""

import json


class DescriptionError(Exception):
    pass


def load(text):
    """Parses the description's JSON text; integers stay exact and member order is kept."""
    try:
        data = json.loads(text)
    except ValueError as error:
        raise DescriptionError(f"not JSON: {error}") from None
    if not isinstance(data, dict):
        raise DescriptionError("the description is not a JSON object")
    if "types" not in data:
        data = _from_name_lists(data)
    _check(data)
    return data


def _from_name_lists(data):
    """An engine whose description lists only names (ops, errors, topics, close codes and
    the text commands as bare values, params without summaries, no results) is read as
    the full shape with empty summaries, so its documents can still be made."""
    used = {param["type"] for method in data.get("methods", []) for param in method["params"]}
    return {
        "protocol": data.get("protocol"),
        "subprotocol": "zyl.v2",
        "engineVersion": data.get("engineVersion", ""),
        "types": {name: "" for name in sorted(used | {"object"})},
        "ops": [{"op": op, "from": "", "summary": "", "members": None} for op in data["ops"]],
        "methods": [
            {
                "name": method["name"],
                "summary": "",
                "params": [dict(param, summary="") for param in method["params"]],
                "result": None,
            }
            for method in data["methods"]
        ],
        "errors": [{"code": code, "summary": "", "protocol1": []} for code in data["errors"]],
        "topics": [{"name": name, "summary": "", "data": None} for name in data["topics"]],
        "closeCodes": [{"code": code, "name": "", "summary": ""} for code in data["closeCodes"]],
        "protocol1": {
            "commands": [
                {"name": name, "arguments": "", "summary": ""}
                for name in data.get("textCommands", [])
            ]
        },
    }


def _require(condition, where, what):
    if not condition:
        raise DescriptionError(f"{where}: {what}")


def _text(value, where):
    _require(isinstance(value, str), where, "expected a string")


def _list(value, where):
    _require(isinstance(value, list), where, "expected a list")
    return value


def _check_members(members, types, where):
    """A result's, op's or event's members; None means the description does not know them."""
    if members is None:
        return
    names = set()
    for index, member in enumerate(_list(members, where)):
        at = f"{where}[{index}]"
        _require(isinstance(member, dict), at, "expected an object")
        _text(member.get("name"), f"{at}.name")
        _require(member["name"] not in names, at, f'"{member["name"]}" is listed twice')
        names.add(member["name"])
        _check_value(member, types, at)
        _require(isinstance(member.get("nullable", False), bool), f"{at}.nullable",
                 "expected true or false")
        _text(member.get("summary", ""), f"{at}.summary")


def _check_value(value, types, where):
    """The type of a member, a param or an array's items, and what it holds."""
    _require(value.get("type") in types, f"{where}.type", f"unknown type {value.get('type')!r}")
    if "values" in value:
        for index, item in enumerate(_list(value["values"], f"{where}.values")):
            _text(item, f"{where}.values[{index}]")
    if "members" in value:
        _require(value["type"] == "object", f"{where}.members", "only an object has members")
        _check_members(value["members"], types, f"{where}.members")
    if "items" in value:
        _require(value["type"] == "array", f"{where}.items", "only an array has items")
        _require(isinstance(value["items"], dict), f"{where}.items", "expected an object")
        _check_value(value["items"], types, f"{where}.items")


def _check(data):
    _require(isinstance(data.get("protocol"), int), "protocol", "expected an integer")
    _text(data.get("subprotocol"), "subprotocol")
    _text(data.get("engineVersion"), "engineVersion")
    types = data.get("types")
    _require(isinstance(types, dict), "types", "expected an object")
    for name, summary in types.items():
        _text(summary, f"types.{name}")
    for index, op in enumerate(_list(data.get("ops"), "ops")):
        _text(op.get("op"), f"ops[{index}].op")
        _check_members(op.get("members"), types, f"ops[{index}].members")
    methods = _list(data.get("methods"), "methods")
    for index, method in enumerate(methods):
        at = f"methods[{index}]"
        _text(method.get("name"), f"{at}.name")
        for number, param in enumerate(_list(method.get("params"), f"{at}.params")):
            _text(param.get("name"), f"{at}.params[{number}].name")
            _check_value(param, types, f"{at}.params[{number}]")
            _require(isinstance(param.get("required"), bool), f"{at}.params[{number}].required",
                     "expected true or false")
        _check_members(method.get("result"), types, f"{at}.result")
    names = [method["name"] for method in methods]
    _require(len(names) == len(set(names)), "methods", "a method is listed twice")
    for index, error in enumerate(_list(data.get("errors"), "errors")):
        _text(error.get("code"), f"errors[{index}].code")
        for number, token in enumerate(_list(error.get("protocol1", []),
                                             f"errors[{index}].protocol1")):
            _text(token, f"errors[{index}].protocol1[{number}]")
    for index, topic in enumerate(_list(data.get("topics"), "topics")):
        _text(topic.get("name"), f"topics[{index}].name")
        _check_members(topic.get("data"), types, f"topics[{index}].data")
    for index, close in enumerate(_list(data.get("closeCodes"), "closeCodes")):
        _require(isinstance(close.get("code"), int), f"closeCodes[{index}].code",
                 "expected an integer")
    protocol1 = data.get("protocol1")
    _require(isinstance(protocol1, dict), "protocol1", "expected an object")
    for index, command in enumerate(_list(protocol1.get("commands"), "protocol1.commands")):
        _text(command.get("name"), f"protocol1.commands[{index}].name")

