#!/usr/bin/env python3
"""Query words in the search box and the random pick, through the real window.

Run under a D-Bus session:
    dbus-run-session -- /usr/bin/python3 querywords_test.py --program BUILD/bin/moviecat \
        --output BUILD/e2e
Two local categories of films from several decades. Typing `year:1990-1999` narrows the
index's answer to the nineties, Enter's walk agrees; Ctrl+R then shows each line of the
list in the folder view once, in some order."""

import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import window_test  # noqa: E402
from e2e_support import poll  # noqa: E402
from window_test import WindowSession, text_of  # noqa: E402

CONFIRMED = "；已核对"

# One level below each category, so the walk's order is the names' order.
TREE = {
    "动作片": ["Alien (1979)", "Heat (1995)", "Ronin (1998)", "The.Matrix.1999.1080p.BluRay"],
    "科幻片": ["Heat (1986)", "Solaris (1972)", "The Matrix (1999)"],
}
NINETIES = {"Heat (1995)", "Ronin (1998)", "The.Matrix.1999.1080p.BluRay", "The Matrix (1999)"}


class QueryWords(WindowSession):
    @classmethod
    def prepare(cls, root):
        cls.paths = [os.path.join(root, "films", category) for category in TREE]
        for path in cls.paths:
            for name in TREE[os.path.basename(path)]:
                os.makedirs(os.path.join(path, name))
        with open(os.path.join(root, "movie.ini"), "w", encoding="utf-8") as ini:
            ini.write("[movie]\n" + "".join(f"{os.path.basename(p)}={p}\n" for p in cls.paths))

    def expected(self, names):
        return [os.path.join(path, name) for path in self.paths
                for name in sorted(TREE[os.path.basename(path)]) if name in names]

    def results(self):
        return self.find(window_test.pyatspi.ROLE_LIST, "搜索结果")

    def test_1_year_narrows_the_typed_answer_and_the_walk(self):
        pyatspi = window_test.pyatspi
        cache = os.path.join(self.temp, "cache", "moviecat")
        poll(lambda: len([n for n in os.listdir(cache) if n.endswith(".idx")
                          and not n.startswith(".")]) == len(self.paths)
             if os.path.isdir(cache) else False, "an index of each category", 30)
        results = self.results()
        box = self.find(pyatspi.ROLE_TEXT, "影片名称")
        self.click(box)
        self.x.run("xdotool", "key", "ctrl+a", "BackSpace")
        self.x.type("year:1990-1999")
        poll(lambda: text_of(box) == "year:1990-1999", "the typed text", 5)
        expected = self.expected(NINETIES)
        poll(lambda: self.result_names(results) == expected, "the index's nineties", 10)
        self.x.run("xdotool", "key", "Return")
        poll(lambda: results.description.endswith(CONFIRMED), "the walk to confirm", 30)
        self.assertEqual(self.result_names(results), expected)
        self.assertEqual(results.description, f"找到 {len(expected)} 个{CONFIRMED}")

    def test_2_the_random_pick_shows_every_line_once(self):
        listed = self.result_names(self.results())
        self.assertTrue(listed)
        label = self.status("当前路径")
        shown = []
        for _ in listed:
            before = label.name
            self.x.run("xdotool", "key", "ctrl+r")
            poll(lambda: label.name != before or len(listed) == 1, "a picked folder shown", 5)
            shown.append(label.name.rstrip("/"))
        self.assertEqual(sorted(shown), sorted(p.rstrip("/") for p in listed))


def main():
    if window_test.parse_arguments() is None:
        return 2
    return window_test.run_case(QueryWords)


if __name__ == "__main__":
    sys.exit(main())
