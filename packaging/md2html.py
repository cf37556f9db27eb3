#!/usr/bin/env python3
"""Turns README.md into the one-file README.html shipped beside Quillon.exe.

Handles the Markdown our README uses: headings, paragraphs, lists (with wrapped lines),
tables, fenced code, inline code, bold, italics, links and images. Images that exist beside
the README are embedded as data URIs, so the page needs nothing but itself; others become
their alternative text.

Usage: md2html.py README.md README.html
"""
import base64
import html
import mimetypes
import os
import re
import sys

INLINE = re.compile(
    r"(?P<code>`+)(?P<codetext>.+?)(?P=code)"
    r"|!\[(?P<alt>[^\]]*)\]\((?P<src>[^)\s]+)\)"
    r"|\[(?P<text>[^\]]+)\]\((?P<href>[^)\s]+)\)"
    r"|\*\*(?P<bold>.+?)\*\*"
    r"|(?<![\w*])\*(?P<em>[^*\s][^*]*?)\*(?![\w*])"
)


class Converter:
    def __init__(self, base_dir):
        self.base_dir = base_dir

    def image(self, alt, src):
        path = os.path.join(self.base_dir, src)
        if "://" in src or not os.path.isfile(path):
            return "<em>[%s]</em>" % html.escape(alt)
        kind = mimetypes.guess_type(path)[0] or "application/octet-stream"
        with open(path, "rb") as f:
            data = base64.b64encode(f.read()).decode("ascii")
        return '<img src="data:%s;base64,%s" alt="%s">' % (kind, data, html.escape(alt))

    def inline(self, text):
        out, pos = [], 0
        for m in INLINE.finditer(text):
            out.append(html.escape(text[pos:m.start()], quote=False))
            if m.group("code"):
                out.append("<code>%s</code>" % html.escape(m.group("codetext").strip(), quote=False))
            elif m.group("src") is not None:
                out.append(self.image(m.group("alt"), m.group("src")))
            elif m.group("href") is not None:
                out.append('<a href="%s">%s</a>' % (html.escape(m.group("href")), self.inline(m.group("text"))))
            elif m.group("bold") is not None:
                out.append("<strong>%s</strong>" % self.inline(m.group("bold")))
            else:
                out.append("<em>%s</em>" % self.inline(m.group("em")))
            pos = m.end()
        out.append(html.escape(text[pos:], quote=False))
        return "".join(out)

    @staticmethod
    def cells(line):
        line = line.strip()
        if line.startswith("|"):
            line = line[1:]
        if line.endswith("|"):
            line = line[:-1]
        # A pipe inside inline code belongs to the code, not to the table.
        parts, current, in_code = [], "", False
        for ch in line:
            if ch == "`":
                in_code = not in_code
            if ch == "|" and not in_code:
                parts.append(current.strip())
                current = ""
            else:
                current += ch
        parts.append(current.strip())
        return parts

    def convert(self, text):
        lines = text.replace("\r\n", "\n").split("\n")
        out, i, used_ids = [], 0, set()
        list_item = re.compile(r"^(\s*)([-*]|\d+\.)\s+(.*)$")
        while i < len(lines):
            line = lines[i]
            if not line.strip():
                i += 1
                continue
            if line.startswith("```"):
                i += 1
                code = []
                while i < len(lines) and not lines[i].startswith("```"):
                    code.append(lines[i])
                    i += 1
                i += 1
                out.append("<pre><code>%s</code></pre>" % html.escape("\n".join(code), quote=False))
                continue
            heading = re.match(r"^(#{1,6})\s+(.*?)\s*#*$", line)
            if heading:
                level, title = len(heading.group(1)), heading.group(2)
                slug = re.sub(r"[^a-z0-9]+", "-", title.lower()).strip("-") or "section"
                base, n = slug, 2
                while slug in used_ids:
                    slug, n = "%s-%d" % (base, n), n + 1
                used_ids.add(slug)
                out.append('<h%d id="%s">%s</h%d>' % (level, slug, self.inline(title), level))
                i += 1
                continue
            if line.lstrip().startswith("|") and i + 1 < len(lines) and re.match(r"^\s*\|?[\s:|-]+\|?\s*$", lines[i + 1]) and "-" in lines[i + 1]:
                head = self.cells(line)
                i += 2
                rows = []
                while i < len(lines) and lines[i].lstrip().startswith("|"):
                    rows.append(self.cells(lines[i]))
                    i += 1
                out.append("<table>\n<tr>%s</tr>" % "".join("<th>%s</th>" % self.inline(c) for c in head))
                for row in rows:
                    out.append("<tr>%s</tr>" % "".join("<td>%s</td>" % self.inline(c) for c in row))
                out.append("</table>")
                continue
            if list_item.match(line):
                ordered = list_item.match(line).group(2)[0].isdigit()
                items = []
                while i < len(lines) and lines[i].strip():
                    m = list_item.match(lines[i])
                    if m and len(m.group(1)) == 0:
                        items.append(m.group(3))
                    elif items:
                        items[-1] += " " + lines[i].strip()
                    i += 1
                tag = "ol" if ordered else "ul"
                out.append("<%s>\n%s\n</%s>" % (tag, "\n".join("<li>%s</li>" % self.inline(t) for t in items), tag))
                continue
            para = []
            while i < len(lines) and lines[i].strip() and not lines[i].startswith(("```", "#", "|")) \
                    and not list_item.match(lines[i]):
                para.append(lines[i].strip())
                i += 1
            out.append("<p>%s</p>" % self.inline(" ".join(para)))
        return "\n".join(out)


STYLE = """body{font-family:"Segoe UI",Tahoma,sans-serif;max-width:52em;margin:2em auto;padding:0 1em;line-height:1.45;color:#222}
code,pre{font-family:Consolas,"Courier New",monospace;background:#f3f3f3}
pre{padding:.6em;overflow:auto}
table{border-collapse:collapse;margin:.8em 0}
th,td{border:1px solid #ccc;padding:.3em .6em;vertical-align:top;text-align:left}
img{max-width:100%;border:1px solid #ddd}
h1,h2,h3{line-height:1.2}"""


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: md2html.py README.md README.html")
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    body = Converter(os.path.dirname(os.path.abspath(source))).convert(text)
    title = "Quillon"
    page = ('<!DOCTYPE html>\r\n<html lang="en">\r\n<head>\r\n<meta charset="utf-8">\r\n<title>%s</title>\r\n'
            "<style>\r\n%s\r\n</style>\r\n</head>\r\n<body>\r\n%s\r\n</body>\r\n</html>\r\n"
            % (title, STYLE.replace("\n", "\r\n"), body.replace("\n", "\r\n")))
    with open(target, "w", encoding="utf-8", newline="") as f:
        f.write(page)


if __name__ == "__main__":
    main()
