"""Reads an exported file with a real consumer and prints its entries, one a
line, each field as the hex of its UTF-8 bytes."""
import csv
import gettext
import json
import sys

kind, path = sys.argv[1:3]
if kind == "json":
    with open(path, encoding="utf-8") as f:
        rows = json.load(f, object_pairs_hook=list)
elif kind == "csv":
    with open(path, encoding="utf-8-sig", newline="") as f:
        rows = list(csv.reader(f, strict=True))
else:  # a compiled catalogue: context, msgstr
    with open(path, "rb") as f:
        catalog = gettext.GNUTranslations(f)._catalog
    rows = [(k.split("\x04")[0], v) for k, v in catalog.items() if k]
for row in rows:
    print(" ".join(field.encode().hex() for field in row))
