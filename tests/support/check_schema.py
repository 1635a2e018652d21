#!/usr/bin/env python3
"""Validates JSON against a JSON Schema (draft 2020-12), formats included:
check_schema.py SCHEMA DOCUMENT checks one document; with --lines, every
line of DOCUMENT is a document of its own (a JSON-lines stream). Exits 1
with the errors found."""
import json
import sys

import jsonschema

args = [a for a in sys.argv[1:] if a != "--lines"]
with open(args[0], encoding="utf-8") as f:
    schema = json.load(f)
with open(args[1], encoding="utf-8") as f:
    documents = [json.loads(line) for line in f] if "--lines" in sys.argv else [json.load(f)]
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema, format_checker=jsonschema.Draft202012Validator.FORMAT_CHECKER)
failed = False
for number, document in enumerate(documents, 1):
    for error in sorted(validator.iter_errors(document), key=lambda e: list(e.path)):
        failed = True
        where = "/".join(map(str, error.path)) or "(document)"
        print(f"{'line ' + str(number) + ': ' if len(documents) > 1 else ''}{where}: {error.message}")
sys.exit(1 if failed else 0)
