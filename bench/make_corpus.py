#!/usr/bin/env python3
"""Prepares the benchmark corpus: real XML shipped by Debian packages plus one generated
file of about 40 MB, each written as UTF-8, UTF-16LE (with a mark) and ISO-8859-1.

usage: make_corpus.py OUTPUT_FOLDER
Files already present are kept, so a second run costs nothing.
"""
import os
import random
import re
import sys

kSources = [
    ("freedesktop-mime", "/usr/share/mime/packages/freedesktop.org.xml"),
    ("gir-gio", "/usr/share/gir-1.0/Gio-2.0.gir"),
    ("gir-glib", "/usr/share/gir-1.0/GLib-2.0.gir"),
    ("iso-639-3", "/usr/share/xml/iso-codes/iso_639-3.xml"),
    ("iso-3166-2", "/usr/share/xml/iso-codes/iso_3166-2.xml"),
    ("docbook-catalog", "/usr/share/xml/docbook/schema/dtd/4.5/catalog.xml"),
]

kDeclaration = re.compile(r'^(\ufeff?<\?xml[^>]*?encoding\s*=\s*["\'])([^"\']*)(["\'])')


def WithEncoding(text, name):
    """The text with its declaration naming the encoding (a declaration is added if none)."""
    if text.startswith("\ufeff"):
        text = text[1:]
    if kDeclaration.match(text):
        return kDeclaration.sub(lambda m: m.group(1) + name + m.group(3), text, count=1)
    if text.startswith("<?xml"):
        end = text.index("?>")
        return text[:end].rstrip() + ' encoding="%s"' % name + text[end:]
    return '<?xml version="1.0" encoding="%s"?>\n' % name + text


def Generated():
    """About 40 MB of catalogue records: nesting, attributes, text, entities, some non-ASCII."""
    rng = random.Random(20261208)
    words = ("alpha beta gamma delta river stone paper glass light north quiet yellow signal "
             "garden window market silver engine harbor winter summer velvet copper").split()
    accented = ["café", "naïve", "Zürich", "Ångström", "señor", "façade", "Gödel", "München"]
    wide = ["東京", "Москва", "Αθήνα", "서울", "€100"]
    langs = ["en", "fr", "de", "es", "ja", "ru"]
    parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<catalog generator="bench" version="3">\n']
    size = len(parts[0])
    n = 0
    while size < 40 * 1024 * 1024:
        n += 1

        def Sentence(k):
            out = []
            for _ in range(k):
                r = rng.random()
                out.append(rng.choice(accented) if r < 0.05 else rng.choice(wide) if r < 0.07 else rng.choice(words))
            return " ".join(out)

        record = (
            '  <book id="b%06d" lang="%s" year="%d">\n'
            '    <title>%s</title>\n'
            '    <author first="%s" last="%s"/>\n'
            '    <price currency="EUR">%d.%02d</price>\n'
            '    <tags>%s</tags>\n'
            '    <description>%s &amp; %s</description>\n'
            '  </book>\n'
        ) % (n, rng.choice(langs), 1900 + rng.randrange(125), Sentence(3), rng.choice(words).title(),
             rng.choice(accented + words).title(), rng.randrange(100), rng.randrange(100),
             "".join("<tag>%s</tag>" % rng.choice(words) for _ in range(rng.randrange(1, 4))),
             Sentence(rng.randrange(8, 30)), Sentence(rng.randrange(3, 10)))
        parts.append(record)
        size += len(record.encode("utf-8"))
    parts.append("</catalog>\n")
    return "".join(parts)


def WriteVariants(folder, name, text):
    targets = {
        "utf8": lambda: WithEncoding(text, "UTF-8").encode("utf-8"),
        "utf16le": lambda: b"\xff\xfe" + WithEncoding(text, "UTF-16").encode("utf-16-le"),
        "latin1": lambda: WithEncoding(text, "ISO-8859-1").encode("latin-1", errors="xmlcharrefreplace"),
    }
    for variant, make in targets.items():
        path = os.path.join(folder, "%s.%s.xml" % (name, variant))
        if os.path.exists(path):
            continue
        with open(path + ".tmp", "wb") as f:
            f.write(make())
        os.replace(path + ".tmp", path)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/bench-corpus"
    os.makedirs(folder, exist_ok=True)
    for name, source in kSources:
        if not os.path.exists(source):
            print("corpus: %s is missing, left out" % source, file=sys.stderr)
            continue
        with open(source, "rb") as f:
            WriteVariants(folder, name, f.read().decode("utf-8"))
    if not os.path.exists(os.path.join(folder, "generated-40mb.latin1.xml")):
        WriteVariants(folder, "generated-40mb", Generated())


if __name__ == "__main__":
    main()
