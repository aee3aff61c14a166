#!/usr/bin/env python3
"""A NAS switched off between two searches, through the real FUSE passthrough slowfs.py and
the real window over the accessibility bus.

Run under a D-Bus session:
    dbus-run-session -- /usr/bin/python3 offline_test.py --program BUILD/bin/moviecat \
        --output BUILD/e2e
What the first search's index knew of the NAS shows at once and stays after the search,
marked offline with the time the NAS last answered; Exit still ends the program at once."""

import os
import re
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import window_test  # noqa: E402
from e2e_support import SlowShare, poll, walk  # noqa: E402
from share_test import DEADLINE_MS, DeadCategory, showing_list  # noqa: E402
from window_test import WindowSession, text_of  # noqa: E402


class OfflineShare(WindowSession):
    """A category folder on a NAS between two local ones; the NAS is switched off between
    two searches. Its matches, known from the first search's index, show at once, stay
    after the walk has given the NAS up, each described as offline with the time it was
    last seen; picking one leaves the window free, and Exit still ends the program within
    2 s while calls hang on the NAS."""

    extra_env = {"MOVIECAT_FOLDER_DEADLINE_MS": str(DEADLINE_MS)}
    OFFLINE = re.compile(r"^离线，最后见于 (\d{4}-\d\d-\d\d \d\d:\d\d)$")

    @classmethod
    def prepare(cls, root):
        local, source = os.path.join(root, "本地"), os.path.join(root, "nas-source")
        for folder in (os.path.join(local, "动作片", "Heat (1995)"),
                       os.path.join(source, "剧情片", "Heat of the Night"),
                       os.path.join(source, "剧情片", "old", "Heat 2"),
                       os.path.join(source, "剧情片", "Paris, Texas"),
                       os.path.join(local, "科幻片", "Heat 3")):
            os.makedirs(folder)
        mount = os.path.join(root, "nas")
        cls.share = SlowShare(source, mount, log=cls.log).__enter__()
        cls.paths = [os.path.join(local, "动作片"), os.path.join(mount, "剧情片"),
                     os.path.join(local, "科幻片")]
        cls.found = [os.path.join(cls.paths[0], "Heat (1995)"),
                     os.path.join(cls.paths[1], "Heat of the Night"),
                     os.path.join(cls.paths[1], "old", "Heat 2"),
                     os.path.join(cls.paths[2], "Heat 3")]
        with open(os.path.join(root, "movie.ini"), "w", encoding="utf-8") as ini:
            ini.write("[movie]\n" + "".join(
                f"{name}={path}\n" for name, path in zip(("动作片", "剧情片", "科幻片"), cls.paths)))

    def search_for(self, text):
        pyatspi = window_test.pyatspi
        search_box = self.find(pyatspi.ROLE_TEXT, "影片名称")
        self.click(search_box)
        search_box.queryEditableText().setTextContents(text)
        poll(lambda: text_of(search_box) == text, "the search text", 5)
        self.click(self.button("搜  索"))
        return self.find(pyatspi.ROLE_LIST, "搜索结果")

    def lines(self, results):
        return [(i.name, i.description)
                for i in self.find_all(window_test.pyatspi.ROLE_LIST_ITEM, root=results)]

    def search_done(self):
        # The show/hide button stands where the busy picture was once the walk has ended.
        return any(showing_list(b) for b in
                   self.find_all(window_test.pyatspi.ROLE_PUSH_BUTTON, "隐藏搜索列表"))

    def test_1_with_the_share_on_its_match_is_confirmed(self):
        # Another text than the next search's, so that its answer cannot pass for the next.
        results = self.search_for("night")
        poll(self.search_done, "the first search to end", 30)
        poll(lambda: self.lines(results) == [(self.found[1], "")] or None,
             "the share's match, not offline", 5)

    def test_2_switched_off_its_matches_show_at_once_and_stay_marked(self):
        self.share.switch_off()
        pressed = time.monotonic()
        results = self.search_for("heat")
        poll(lambda: [name for name, _ in self.lines(results)] == self.found or None,
             "the index's answer", 10, interval=0.02)
        took = time.monotonic() - pressed
        print(f"\nmatches on the switched-off share shown after {took:.3f} s", file=sys.stderr)
        self.assertLess(took, DEADLINE_MS / 1000, "before the walk gives the share up")

        poll(self.search_done, "the search to end", DEADLINE_MS / 1000 + 20)
        lines = self.lines(results)
        self.assertEqual([name for name, _ in lines], self.found)
        self.assertEqual((lines[0][1], lines[3][1]), ("", ""))
        seen = [self.OFFLINE.match(description) for _, description in lines[1:3]]
        self.assertTrue(all(seen), lines)
        last_seen = seen[0].group(1)
        self.assertEqual(seen[1].group(1), last_seen)
        # The line under the list says it; the list's description carries it to the bus.
        self.assertEqual(results.description,
                         f"找到 {len(lines):,} 个；2 个结果离线，取自 {last_seen} 的索引；其余已核对")
        notice = poll(self.notice, "the notice of the share left out", 10)
        message = " ".join(a.name for a in walk(notice)
                           if a.getRole() == window_test.pyatspi.ROLE_LABEL)
        self.assertIn(f"取自 {last_seen} 的索引", message)
        self.shot("offline-notice")
        self.click(next(a for a in walk(notice) if a.getRole() == window_test.pyatspi.ROLE_PUSH_BUTTON
                        and a.name.replace("&", "") == "OK"))
        poll(lambda: not self.notice(), "the notice to close", 5)
        self.shot("offline-results")

    def shot(self, name):
        path = os.path.join(window_test.ARGS.output, f"{name}.png")
        self.x.save_screenshot(path)
        print(f"screenshot: {path}", file=sys.stderr)

    def test_3_picking_an_offline_match_leaves_the_window_free_and_exit_ends_it(self):
        pyatspi = window_test.pyatspi
        results = self.find(pyatspi.ROLE_LIST, "搜索结果")
        self.click(self.find(pyatspi.ROLE_LIST_ITEM, self.found[2], root=results))
        # The path line follows the pick at the next clock tick: the window is not held.
        poll(lambda: any(a.name == self.found[2] for a in walk(self.form)
                         if a.getRole() == pyatspi.ROLE_LABEL), "the picked path in the status line", 5)
        poll(lambda: window_test.stuck_on_fuse(self.app.pid), "the view's call waiting on the share", 10)
        self.exit_past_stuck_calls("an offline match picked")

    notice = DeadCategory.notice  # the non-modal notice of the folders left out


def main():
    if window_test.parse_arguments() is None:
        return 2
    return window_test.run_case(OfflineShare)


if __name__ == "__main__":
    sys.exit(main())
