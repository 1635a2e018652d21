#!/usr/bin/env python3
"""Validates a JSON document against a JSON Schema (draft 2020-12), formats
included: check_schema.py SCHEMA DOCUMENT. Exits 1 with the errors found."""
import json
import sys

import jsonschema

with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
with open(sys.argv[2], encoding="utf-8") as f:
    document = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema, format_checker=jsonschema.Draft202012Validator.FORMAT_CHECKER)
errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
for error in errors:
    print(f"{'/'.join(map(str, error.path)) or '(document)'}: {error.message}")
sys.exit(1 if errors else 0)
