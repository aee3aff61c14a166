#!/usr/bin/env python3
"""The search answered from the index at once, with the live walk held back on a share.

Run under a D-Bus session:
    dbus-run-session -- /usr/bin/python3 index_test.py --program BUILD/bin/moviecat \
        --output BUILD/e2e
Two local categories and one on a FUSE share that the test switches off to hold every
walk on it. The first search walks and leaves an index; a later one shows the index's
answer while its helper is held, the line under the list says so, and the list ends as
the walk's; a new search during a held walk answers at once, and nothing of the old
search ever shows again."""

import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import window_test  # noqa: E402
from e2e_support import SlowShare, children_of, poll, showing  # noqa: E402
from window_test import WindowSession, extents, text_of  # noqa: E402

CONFIRMING = "，正在核对…"
CONFIRMED = "；已核对"  # after the count, "找到 N 个"

# Per category: the folders below it (one level, so the walk's order is the names' order;
# every name starts with a capital and goes on in lower case, so any collation agrees).
# Enough matches in the first to fill the list, so its last line is near the status line.
TREE = {
    "动作片": ["Heat (1995)", "Matrix Reloaded (2003)", "Ronin (1998)"] +
             [f"Matrix Clone {n:02d}" for n in range(40)],
    "网络": ["Heat Wave (2010)", "Matrix Online (2001)", "Up (2009)"],
    "科幻片": ["Alien (1979)", "Heat Death (2020)", "The Matrix (1999)"],
}


def search_helpers(pid):
    """The window's helpers that run a search (not the background indexer)."""
    helpers = []
    for child in children_of(pid):
        try:
            with open(f"/proc/{child}/cmdline", "rb") as cmdline:
                args = cmdline.read().split(b"\0")
        except OSError:
            continue
        if args[0].endswith(b"moviecat-cmd") and b"--idle" not in args:
            helpers.append(child)
    return helpers


class IndexedSearch(WindowSession):
    # No folder of the switched-off share may be given up while the test holds it.
    extra_env = {"MOVIECAT_FOLDER_DEADLINE_MS": "60000"}

    @classmethod
    def prepare(cls, root):
        local, source = os.path.join(root, "本地"), os.path.join(root, "share-source")
        mount = os.path.join(root, "nas")
        cls.paths = [os.path.join(local, "动作片"), os.path.join(mount, "网络"),
                     os.path.join(local, "科幻片")]
        cls.tree = {path: list(TREE[os.path.basename(path)]) for path in cls.paths}
        for path, names in cls.tree.items():
            on_disk = path.replace(mount, source, 1)
            for name in names:
                os.makedirs(os.path.join(on_disk, name))
        cls.share = SlowShare(source, mount, log=cls.log).__enter__()
        with open(os.path.join(root, "movie.ini"), "w", encoding="utf-8") as ini:
            ini.write("[movie]\n" + "".join(f"{os.path.basename(p)}={p}\n" for p in cls.paths))

    def expected(self, text):
        """What the walk finds for a plain text: category by category, names in order."""
        return [os.path.join(path, name) for path in self.paths
                for name in sorted(self.tree[path]) if text in name.lower()]

    def search(self, text):
        pyatspi = window_test.pyatspi
        box = self.find(pyatspi.ROLE_TEXT, "影片名称")
        self.click(box)
        self.x.run("xdotool", "key", "ctrl+a", "BackSpace")
        poll(lambda: text_of(box) == "", "an empty search box", 5)
        self.x.type(text)
        poll(lambda: text_of(box) == text, "the typed text", 5)
        button = self.button("搜  索")
        pressed = time.monotonic()
        self.click(button)
        return pressed

    def results(self):
        return self.find(window_test.pyatspi.ROLE_LIST, "搜索结果")

    def confirmed(self, results, timeout=30):
        poll(lambda: results.description.endswith(CONFIRMED), "the walk to confirm the list", timeout)
        return self.result_names(results)

    def test_1_the_first_search_walks_and_leaves_an_index(self):
        cache = os.path.join(self.temp, "cache", "moviecat")
        # Written in the background after start-up, one file per category.
        poll(lambda: len([n for n in os.listdir(cache) if n.endswith(".idx")
                          and not n.startswith(".")]) == 3 if os.path.isdir(cache) else False,
             "an index of each category", 30)
        self.search("matrix")
        results = self.results()
        self.assertEqual(self.confirmed(results), self.expected("matrix"))

    def test_2_the_index_answers_while_the_helper_is_held(self):
        pyatspi = window_test.pyatspi
        # A folder the index does not know yet, which the walk brings in; and one it still
        # lists, which the walk takes away.
        indexed = self.expected("matrix")
        self.tree[self.paths[0]].append("Matrix Revolutions (2003)")
        os.makedirs(os.path.join(self.paths[0], "Matrix Revolutions (2003)"))
        gone = os.path.join(self.paths[0], "Matrix Clone 00")
        self.tree[self.paths[0]].remove("Matrix Clone 00")
        os.rmdir(gone)
        self.share.switch_off()
        self.search("matrix")
        results = self.results()
        poll(lambda: results.description.endswith(CONFIRMING), "the index's answer", 5)
        # The count is read with the list.
        self.assertTrue(results.description.startswith(f"找到 {len(indexed):,} 个；索引结果（"),
                        results.description)
        self.assertEqual(self.result_names(results), indexed)
        self.assertTrue(search_helpers(self.app.pid), "the helper has ended already")
        line = self.find(pyatspi.ROLE_LABEL, "搜索结果来源")
        self.assertEqual(line.description, results.description)
        self.assertTrue(showing(line))

        # Picked before the walk has taken it away, a gone folder gets the folder view's
        # usual line.
        self.assertEqual(indexed[0], gone)
        self.click(self.find(pyatspi.ROLE_LIST_ITEM, gone, root=results))
        poll(lambda: self.find_all(pyatspi.ROLE_LABEL, f"文件夹不存在：{gone}"),
             "the folder view's line for a missing folder", 5)

        # The line hides no result: the list's last line, scrolled into view, sits above it.
        self.x.run("xdotool", "key", "End")
        last = self.find(pyatspi.ROLE_LIST_ITEM, indexed[-1], root=results)
        poll(lambda: showing(last), "the last line scrolled into view", 5)
        self.x.save_screenshot(os.path.join(window_test.ARGS.output, "index-answer.png"))
        _, last_top, _, last_height = extents(last)
        _, line_top, _, line_height = extents(line)
        _, list_top, _, list_height = extents(results)
        self.assertLessEqual(last_top + last_height, line_top)
        self.assertLessEqual(line_top + line_height, list_top + list_height, "inside the list")

        self.share.switch_on()
        self.assertEqual(self.confirmed(results), self.expected("matrix"))
        kept = self.find(pyatspi.ROLE_LIST_ITEM, indexed[-1], root=results)
        self.assertTrue(kept.getState().contains(pyatspi.STATE_SELECTED),
                        "the selection stays on its line")

    def test_3_a_new_search_during_a_held_walk_answers_at_once(self):
        results = self.results()
        self.share.switch_off()
        self.search("matrix")
        old = poll(lambda: search_helpers(self.app.pid), "the first search's helper", 5)
        poll(lambda: results.description.endswith(CONFIRMING), "the first index answer", 5)

        pressed = self.search("heat")
        expected = self.expected("heat")
        poll(lambda: self.result_names(results) == expected, "the new search's index answer", 10,
             interval=0.02)
        took = time.monotonic() - pressed
        print(f"\nnew search during a held walk, answered after {took:.3f} s", file=sys.stderr)
        self.assertLess(took, 2.0)
        self.assertTrue(results.description.endswith(CONFIRMING), "the new walk is held too")

        # The old helper was killed; held by the share, it goes when the share answers.
        # Whatever comes meanwhile, nothing of the old search may show.
        self.share.switch_on()
        seen = []
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and (
                not results.description.endswith(CONFIRMED) or set(old) & set(search_helpers(self.app.pid))):
            seen.append(self.result_names(results))
            time.sleep(0.05)
        seen.append(self.result_names(results))
        self.assertEqual(results.description, f"找到 {len(expected):,} 个{CONFIRMED}")
        self.assertFalse(set(old) & set(search_helpers(self.app.pid)), "the old helper is still there")
        self.assertEqual([s for s in seen if s != expected], [])

    def test_4_typing_answers_from_the_index_and_enter_runs_the_walk(self):
        pyatspi = window_test.pyatspi
        results = self.results()
        box = self.find(pyatspi.ROLE_TEXT, "影片名称")
        self.click(box)
        self.x.run("xdotool", "key", "ctrl+a", "BackSpace")
        poll(lambda: not self.result_names(results), "an emptied list", 5)
        self.x.type("heat")
        expected = self.expected("heat")
        poll(lambda: self.result_names(results) == expected, "the typed text's answer", 5)
        self.assertFalse(search_helpers(self.app.pid), "a helper runs while typing")
        self.assertTrue(results.description.startswith(f"找到 {len(expected):,} 个；索引结果（"),
                        results.description)
        self.x.run("xdotool", "key", "Return")
        poll(lambda: search_helpers(self.app.pid) or results.description.endswith(CONFIRMED),
             "Enter to run the walk", 5)
        self.assertEqual(self.confirmed(results), expected)
        self.assertEqual(results.description, f"找到 {len(expected):,} 个{CONFIRMED}")


def main():
    if window_test.parse_arguments() is None:
        return 2
    return window_test.run_case(IndexedSearch)


if __name__ == "__main__":
    sys.exit(main())
