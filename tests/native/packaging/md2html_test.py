"""README.md to README.html: the Markdown our README uses comes out as the HTML a browser shows."""
import os
import re
import sys
import tempfile
import unittest

SOURCE = os.environ.get("QUILLON_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "packaging"))
import md2html  # noqa: E402


class ConvertTest(unittest.TestCase):
    def convert(self, text, base_dir="."):
        return md2html.Converter(base_dir).convert(text)

    def test_blocks_and_inline_markup(self):
        cases = [
            ("Run `Quillon-<version>-setup.exe` & <b>", "<p>Run <code>Quillon-&lt;version&gt;-setup.exe</code> &amp; &lt;b&gt;</p>"),
            ("**Bold** and *em*, but 2 * 3 * 4 stays", "<p><strong>Bold</strong> and <em>em</em>, but 2 * 3 * 4 stays</p>"),
            ("[the **guide**](docs/a.html)", '<p><a href="docs/a.html">the <strong>guide</strong></a></p>'),
            ("- one\n  wrapped\n- two", "<ul>\n<li>one wrapped</li>\n<li>two</li>\n</ul>"),
            ("1. first\n2. second", "<ol>\n<li>first</li>\n<li>second</li>\n</ol>"),
            ("```sh\nif a < b; then\n```", "<pre><code>if a &lt; b; then</code></pre>"),
            ("| a | b |\n|---|---|\n| `x|y` | **z** |",
             "<table>\n<tr><th>a</th><th>b</th></tr>\n<tr><td><code>x|y</code></td><td><strong>z</strong></td></tr>\n</table>"),
            ("## Where *it* lives\n## Where it lives",
             '<h2 id="where-it-lives">Where <em>it</em> lives</h2>\n<h2 id="where-it-lives-2">Where it lives</h2>'),
        ]
        for markdown, expected in cases:
            with self.subTest(markdown=markdown):
                self.assertEqual(self.convert(markdown), expected)

    def test_images_are_embedded_or_named(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "shot.png"), "wb") as f:
                f.write(b"\x89PNG")
            html = self.convert("![A shot](shot.png) ![Not yet](missing.png)", folder)
        self.assertIn('<img src="data:image/png;base64,iVBORw==" alt="A shot">', html)
        self.assertIn("<em>[Not yet]</em>", html)

    def test_the_readme_leaves_no_markdown_behind(self):
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
            html = self.convert(f.read(), SOURCE)
        outside_code = re.sub(r"<code>.*?</code>|<pre>.*?</pre>", "", html, flags=re.S)
        for leftover in ("**", "](", "```", "|---"):
            self.assertNotIn(leftover, outside_code)
        self.assertTrue(html.startswith('<h1 id="quillon">'))


if __name__ == "__main__":
    unittest.main()
