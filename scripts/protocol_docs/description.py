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
    _check(data)
    return data


def _require(condition, where, what):
    if not condition:
        raise DescriptionError(f"{where}: {what}")


def _text(value, where):
    _require(isinstance(value, str), where, "expected a string")


def _list(value, where):
    _require(isinstance(value, list), where, "expected a list")
    return value


def item_value(items):
    """An array's items as a value with a "type": the description gives a bare type for
    plain items and a member (with the items' members or values) otherwise."""
    return {"type": items} if isinstance(items, str) else items


def _check_members(members, types, where):
    """A result's, op's or event's members; None means the description does not know them."""
    if members is None:
        return
    names = set()
    for index, member in enumerate(_list(members, where)):
        at = f"{where}[{index}]"
        _check_member(member, types, at)
        _require(member["name"] not in names, at, f'"{member["name"]}" is listed twice')
        names.add(member["name"])


def _check_member(member, types, where):
    _require(isinstance(member, dict), where, "expected an object")
    _text(member.get("name"), f"{where}.name")
    _check_value(member, types, where)
    _require(isinstance(member.get("nullable", False), bool), f"{where}.nullable",
             "expected true or false")
    _text(member.get("summary", ""), f"{where}.summary")


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
        items = value["items"]
        if isinstance(items, str):
            _require(items in types, f"{where}.items", f"unknown type {items!r}")
        else:
            _check_member(items, types, f"{where}.items")


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

