#!/usr/bin/env python3
"""Folder names that are not UTF-8, as a user from Chinese Windows meets them: a category
holding 动作片/dragon 龙/movie.mkv with both folder names in GBK bytes, a folder with one
Latin-1 byte (Caf\\xE9 Dragon) and a plain UTF-8 one. Each must be listed readably,
found by the text it shows, opened, and its file handed to the desktop with its own
bytes. The same X server, accessibility bus and tools as window_test.py.

Run under a D-Bus session:
    dbus-run-session -- /usr/bin/python3 names_test.py --program BUILD/bin/moviecat \
        --output BUILD/e2e
Screenshots of such names in each view mode and in the results list land in --output."""

import os
import sys
from urllib.parse import quote_from_bytes

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import window_test  # noqa: E402
from e2e_support import poll  # noqa: E402
from window_test import WindowSession, text_of, write_category_file  # noqa: E402

GBK_NOTE = "名称不是 UTF-8 编码，按 GBK 显示"
UNDECODABLE_NOTE = "名称不是 UTF-8 编码，含无法解码的字节"
ACTION = "动作片".encode("gbk")
DRAGON = "dragon 龙".encode("gbk")
CAFE = b"Caf\xe9 Dragon"


def atspi():
    return window_test.pyatspi


class NamesWindow(WindowSession):
    @classmethod
    def prepare(cls, root):
        category = os.path.join(root, "影片库", "电影")
        cls.category = category
        raw = os.fsencode(category)
        cls.dragon_bytes = raw + b"/" + ACTION + b"/" + DRAGON
        os.makedirs(cls.dragon_bytes)
        open(cls.dragon_bytes + b"/movie.mkv", "wb").close()
        os.makedirs(raw + b"/" + CAFE)
        os.makedirs(raw + b"/Plain Dragon")
        write_category_file(root, [("电影", category)])
        cls.shown_action = os.path.join(category, "动作片")
        cls.shown_dragon = os.path.join(cls.shown_action, "dragon 龙")
        cls.shown_cafe = os.path.join(category, "Caf\\xE9 Dragon")
        cls.shown_plain = os.path.join(category, "Plain Dragon")
        # The desktop's opener, standing in for the real one: it writes down the URL.
        tools = os.path.join(root, "bin")
        os.mkdir(tools)
        cls.opened = os.path.join(root, "opened-url")
        with open(os.path.join(tools, "xdg-open"), "w") as opener:
            opener.write(f"#!/bin/sh\nprintf '%s' \"$1\" > '{cls.opened}.part'\n"
                         f"mv '{cls.opened}.part' '{cls.opened}'\n")
        os.chmod(os.path.join(tools, "xdg-open"), 0o755)
        cls.extra_env = {"PATH": tools + os.pathsep + os.environ.get("PATH", "")}

    def search_for(self, text):
        search_box = self.find(atspi().ROLE_TEXT, "影片名称")
        self.click(search_box)
        # Set through the accessibility interface: the test keyboard cannot type Chinese.
        search_box.queryEditableText().setTextContents(text)
        poll(lambda: text_of(search_box) == text, f"the search text {text!r}", 5)
        self.click(self.button("搜  索"))
        return self.find(atspi().ROLE_LIST, "搜索结果")

    def wait_results(self, results, expected):
        """The results list's lines, (text, description) each, once they are `expected`."""
        def lines():
            found = [(i.name, i.description)
                     for i in self.find_all(atspi().ROLE_LIST_ITEM, root=results)]
            return found if found == expected else None
        try:
            return poll(lines, "the results", 30)
        except AssertionError:
            self.assertEqual([(i.name, i.description)
                              for i in self.find_all(atspi().ROLE_LIST_ITEM, root=results)],
                             expected)
            raise

    def shot(self, name):
        path = os.path.join(window_test.ARGS.output, f"names-{name}.png")
        self.x.save_screenshot(path)
        print(f"\nscreenshot: {path}", file=sys.stderr)

    # The steps, in order.
    def test_01_chinese_text_finds_the_gbk_folder_and_a_pick_opens_it(self):
        results = self.search_for("龙")
        self.wait_results(results, [(self.shown_dragon, GBK_NOTE)])
        self.click(self.find(atspi().ROLE_LIST_ITEM, self.shown_dragon, root=results))
        self.wait_status_path(self.shown_dragon)
        poll(lambda: self.folder_entry("movie.mkv"), "the picked folder's movie in the view", 10)

    def test_02_ascii_text_finds_every_dragon_readably(self):
        results = self.search_for("dragon")
        self.wait_results(results, [(self.shown_cafe, UNDECODABLE_NOTE), (self.shown_plain, ""),
                                    (self.shown_dragon, GBK_NOTE)])
        self.shot("results-list")
        self.click(self.find(atspi().ROLE_LIST_ITEM, self.shown_cafe, root=results))
        self.wait_status_path(self.shown_cafe)


    def test_03_the_category_lists_every_folder_readably(self):
        self.click(self.button("电影"))
        self.wait_status_path(self.category)
        entries = poll(lambda: (e := self.folder_entries()) and len(e) == 3 and e,
                       "the category's three folders", 10)
        self.assertEqual(sorted(entries), sorted(["动作片", "Caf\\xE9 Dragon", "Plain Dragon"]))
        self.assertEqual(entries["动作片"].description, GBK_NOTE)
        self.assertEqual(entries["Caf\\xE9 Dragon"].description, UNDECODABLE_NOTE)
        self.assertEqual(entries["Plain Dragon"].description, "")
        for mode, button in (("large-icons", "大图标"), ("small-icons", "小图标"),
                             ("list", "列表"), ("details", "详细")):
            self.click(self.button(button))
            poll(lambda: len(self.folder_entries()) == 3, f"the entries in the {mode} mode", 10)
            self.shot(mode)

    def test_04_a_click_opens_the_gbk_folders_and_the_file_gets_its_bytes(self):
        self.click(self.button("大图标"))
        action = poll(lambda: self.folder_entry("动作片"), "the GBK folder", 10)
        self.click(action, repeat=2)
        self.wait_status_path(self.shown_action)
        dragon = poll(lambda: self.folder_entry("dragon 龙"), "the GBK folder inside it", 10)
        self.assertEqual(dragon.description, GBK_NOTE)
        self.click(dragon, repeat=2)
        self.wait_status_path(self.shown_dragon)
        movie = poll(lambda: self.folder_entry("movie.mkv"), "the movie file", 10)
        self.click(movie, repeat=2)
        opened = poll(lambda: os.path.exists(self.opened) and open(self.opened, "rb").read(),
                      "the desktop to be handed the file", 10)
        self.assertEqual(opened, b"file://" + quote_from_bytes(self.dragon_bytes + b"/movie.mkv")
                         .encode())
        self.click(self.button("后退"))
        self.wait_status_path(self.shown_action)


def main():
    if window_test.parse_arguments() is None:
        return 2
    return window_test.run_case(NamesWindow)


if __name__ == "__main__":
    sys.exit(main())
