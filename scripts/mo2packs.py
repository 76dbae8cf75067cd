#!/usr/bin/env python3
"""Turns a gettext catalogue (.mo) into two language packs: the source texts
(msgid) as the reference and the translations (msgstr) as the pack.

  mo2packs.py CATALOGUE.mo OUTDIR [LANG]

Writes OUTDIR/en.xml and OUTDIR/LANG.xml (LANG defaults to the locale folder
name). Each message becomes one key (a slug of its text and a short hash, so
names are 7-bit ASCII without quotes); a plural form becomes one key per form.
The texts are plain text, so encodeHTML is on; they keep their line breaks.
"""
import hashlib, os, re, subprocess, sys
from xml.sax.saxutils import quoteattr


def unquote(s):
    out, i = [], 0
    escapes = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            i += 1
            out.append(escapes.get(s[i], "\\" + s[i]))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def messages(po):
    """Yields (context, msgid, msgid_plural, [msgstr...]) from msgunfmt output."""
    entry, field = {}, None
    for line in po.splitlines() + [""]:
        line = line.strip()
        m = re.match(r'^(msgctxt|msgid_plural|msgid|msgstr(?:\[\d+\])?)\s+"(.*)"$', line)
        if m:
            if m.group(1) in ("msgctxt", "msgid") and "msgstr" in "".join(entry):
                yield entry
                entry = {}
            field = m.group(1)
            entry[field] = unquote(m.group(2))
        elif line.startswith('"') and field:
            entry[field] += unquote(line[1:-1])
        elif not line and entry:
            yield entry
            entry, field = {}, None


def key_of(context, text, form):
    slug = re.sub(r"[^A-Za-z0-9]+", "_", text).strip("_")[:40] or "text"
    digest = hashlib.sha1((context + "\x04" + text + "\x00" + str(form)).encode()).hexdigest()[:8]
    return f"{slug}.{digest}"


def xml_text(s):
    s = s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    return s.replace("\r", "").replace("\n", "&#13;&#10;")


def write_pack(path, lang, project, keys):
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        f.write(f"<languagepack name={quoteattr(project)} lang={quoteattr(lang)} version='1.0.0' date='' "
                f"project={quoteattr(project)}><content>\n")
        for key, text, comment in keys:
            f.write(f"<key id={quoteattr(key)} encodeHTML='1' preserveLinebreaks='1' unixNewline='1'>"
                    f"<value>{xml_text(text)}</value>")
            if comment:
                f.write(f"<comment>{xml_text(comment)}</comment>")
            f.write("</key>\n")
        f.write("</content></languagepack>\n")


def main():
    mo, outdir = sys.argv[1], sys.argv[2]
    lang = sys.argv[3] if len(sys.argv) > 3 else mo.split(os.sep)[-3]
    project = os.path.basename(mo)[:-3]
    po = subprocess.run(["msgunfmt", "--no-wrap", mo], check=True, capture_output=True, text=True).stdout
    source, target = [], []
    for e in messages(po):
        msgid = e.get("msgid", "")
        if not msgid:
            continue  # the header
        context = e.get("msgctxt", "")
        forms = [(msgid, e.get("msgstr", e.get("msgstr[0]", "")))]
        if "msgid_plural" in e:
            n = 1
            while f"msgstr[{n}]" in e:
                forms.append((e["msgid_plural"], e[f"msgstr[{n}]"]))
                n += 1
        for form, (src, tr) in enumerate(forms):
            key = key_of(context, msgid, form)
            source.append((key, src, context))
            target.append((key, tr, context))
    os.makedirs(outdir, exist_ok=True)
    write_pack(os.path.join(outdir, "en.xml"), "en", project, source)
    write_pack(os.path.join(outdir, lang + ".xml"), lang, project, target)
    print(len(source))


if __name__ == "__main__":
    main()
