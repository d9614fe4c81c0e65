#!/usr/bin/python3
"""Checks docs/api.yaml and the answers of a running API against it.

apispec.py routes SPEC           the routes it documents, "METHOD /path/{}" a line; exit 1 if malformed
apispec.py answers SPEC FILE     every answer in FILE ({"METHOD /path": {"status": N, "body": ...}}) has
                                 its status documented and matches the schema documented for it
"""
import json
import re
import sys

import jsonschema
import yaml

# The part of OpenAPI 3.0 this description uses, strictly: a misspelt key is an error, not ignored.
REF = {"type": "object", "required": ["$ref"], "properties": {"$ref": {"type": "string", "pattern": "^#/"}},
       "additionalProperties": False}
RESPONSE = {"oneOf": [REF, {"type": "object", "required": ["description"],
                            "properties": {"description": {"type": "string"}, "content": {"type": "object"},
                                           "headers": {"type": "object"}},
                            "additionalProperties": False}]}
OPERATION = {"type": "object", "required": ["summary", "responses"],
             "properties": {"summary": {"type": "string"}, "description": {"type": "string"},
                            "parameters": {"type": "array"}, "requestBody": {"type": "object"},
                            "responses": {"type": "object", "minProperties": 1,
                                          "patternProperties": {"^[1-5][0-9][0-9]$": RESPONSE},
                                          "additionalProperties": False}},
             "additionalProperties": False}
DOCUMENT = {"type": "object", "required": ["openapi", "info", "paths"],
            "properties": {"openapi": {"type": "string", "pattern": r"^3\.0\.\d+$"},
                           "info": {"type": "object", "required": ["title", "version"]},
                           "servers": {"type": "array"}, "security": {"type": "array"},
                           "components": {"type": "object"},
                           "paths": {"type": "object", "patternProperties": {"^/": {
                               "type": "object",
                               "properties": {"parameters": {"type": "array"}, "get": OPERATION,
                                              "post": OPERATION},
                               "additionalProperties": False}},
                               "additionalProperties": False}},
            "additionalProperties": False}
METHODS = ("get", "post")


def resolve(doc, node):
    while isinstance(node, dict) and "$ref" in node:
        target = doc
        for part in node["$ref"][2:].split("/"):
            target = target[part]
        node = target
    return node


def check_refs(doc, node):
    if isinstance(node, dict):
        if "$ref" in node:
            resolve(doc, node)
        for value in node.values():
            check_refs(doc, value)
    elif isinstance(node, list):
        for value in node:
            check_refs(doc, value)


def nullable(node):
    """OpenAPI 3.0's nullable as JSON Schema says it."""
    if isinstance(node, dict):
        node = {k: nullable(v) for k, v in node.items()}
        if node.pop("nullable", False):
            node["type"] = [node["type"], "null"]
        return node
    if isinstance(node, list):
        return [nullable(v) for v in node]
    return node


def load(path):
    with open(path, encoding="utf-8") as f:
        doc = yaml.safe_load(f)
    jsonschema.validate(doc, DOCUMENT)
    check_refs(doc, doc)
    return doc


def routes(doc):
    for path, item in doc["paths"].items():
        for method in METHODS:
            if method in item:
                yield method.upper(), path


def main():
    doc = load(sys.argv[2])
    base = "/api/v1"
    if sys.argv[1] == "routes":
        for method, path in sorted(routes(doc)):
            print(method, base + re.sub(r"\{[^}]*\}", "{}", path))
        return 0
    with open(sys.argv[3], encoding="utf-8") as f:
        answers = json.load(f)
    failed = 0
    resolver = jsonschema.RefResolver.from_schema(nullable(doc))
    for key, answer in answers.items():
        method, path = key.split(" ", 1)
        for documented in doc["paths"]:
            if re.fullmatch(re.sub(r"\\\{[^}]*\\\}", "[^/]+", re.escape(base + documented)), path.split("?")[0]):
                operation = doc["paths"][documented][method.lower()]
                break
        else:
            print(f"{key}: not documented")
            failed += 1
            continue
        response = operation["responses"].get(str(answer["status"]))
        if response is None:
            print(f"{key}: status {answer['status']} not documented")
            failed += 1
            continue
        schema = nullable(resolve(doc, response)["content"]["application/json"]["schema"])
        try:
            jsonschema.validate(answer["body"], schema, resolver=resolver)
        except jsonschema.ValidationError as e:
            print(f"{key}: {e.message} at {list(e.absolute_path)}")
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
