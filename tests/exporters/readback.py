# Prints as JSON the keys and translations a real consumer reads from an exported file.
import csv, gettext, json, subprocess, sys

msgfmt, kind, path = sys.argv[1:]
if kind == "json":
    rows = json.load(open(path, encoding="utf-8"), object_pairs_hook=list)
elif kind == "csv":
    rows = list(csv.reader(open(path, encoding="utf-8-sig", newline=""), strict=True))[1:]
else:  # msgfmt checks and compiles the catalogue; the context is the key
    subprocess.run([msgfmt, "--check", "-o", path + ".mo", path], check=True)
    translations = gettext.GNUTranslations(open(path + ".mo", "rb"))
    rows = [(k.split("\x04")[0], v) for k, v in translations._catalog.items() if k]
    if kind == "po-header":
        rows = list(translations.info().items())
print(json.dumps(rows))
