#!/usr/bin/env python3
"""Builds a movie library folder tree for the search benchmarks.

Usage: make_library_tree.py ROOT [--folders N] [--seed S]

ROOT receives 18 category folders; below them N folders in all (default
300000): shelves, movie folders with Chinese, English and accented Latin
titles, their extras and subtitle folders, and the hidden thumbnail folders
that NAS boxes leave behind. Like a real library, a movie folder holds its
files (a video, a poster, a .nfo, sometimes subtitles or a fan-art picture)
and the extras and subtitle folders hold a file or two; files are empty. The same seed always gives the same tree, so
figures taken on different days compare. Refuses to touch a ROOT that exists.
"""
import argparse
import os
import random
import sys

CATEGORIES = ["华语电影", "欧美电影", "日韩电影", "动画", "纪录片", "经典老片", "Action", "Comedy",
              "Drama", "Sci-Fi", "Horror", "Documentaries", "Séries françaises", "Cine español",
              "Kids", "Concerts", "电视剧", "Archive"]

ZH_CHARS = ("爱情人生大小天下无间道风云英雄少年时代春光乍泄花样年华霸王别姬卧虎藏龙让子弹飞"
            "活着阳光灿烂的日子一代宗师功夫喜剧大话西游红高粱秋菊打官司我不是药神流浪地球"
            "满城尽带黄金甲十面埋伏唐山大地震集结号非诚勿扰疯狂石头战狼之心月夜归来")
EN_WORDS = ["Love", "Story", "Night", "Day", "City", "Dark", "Light", "King", "Queen", "Last",
            "First", "Lost", "Found", "River", "Mountain", "Summer", "Winter", "Dream", "Ghost",
            "Secret", "Road", "Home", "War", "Peace", "Blue", "Red", "Golden", "Silent", "Wild",
            "Heart", "Star", "Moon", "Sun", "Ocean", "Fire", "Ice", "Shadow", "Empire", "Legend",
            "Dragon", "Glove", "Lovely", "Clover", "Beloved", "Return", "Rising", "Fall", "Edge", "Time"]
LATIN_WORDS = ["Amélie", "Café", "Étoile", "Niño", "Über", "Mañana", "Corazón", "Été", "Élan",
               "Crème", "Señorita", "Jalapeño", "Fiançailles", "Garçon", "Déjà", "Vu", "Naïve",
               "Über", "Mädchen", "Straße", "Größe", "Ça", "Où", "Âme", "Éclair", "Noël", "Amor",
               "Película", "Canción", "Lágrimas", "Noche", "Día", "Ciudad", "Amour", "Rêve"]
SHELVES = ["A-F", "G-L", "M-R", "S-Z", "0-9", "1960s", "1970s", "1980s", "1990s", "2000s", "2010s",
           "2020s", "华语", "欧美", "港台", "日本", "韩国", "法国", "Español", "Deutsch", "收藏",
           "待看", "高清", "4K", "Blu-ray", "DVD"]
EXTRAS = ["Extras", "Subs", "花絮", "字幕", "Featurettes", "Behind the Scenes", "CD1", "CD2",
          "Sample", "Posters", "Bonus", "Interviews", "Deleted Scenes", "Making-of", "预告片",
          "Soundtrack"]
HIDDEN = [".thumbnails", ".@__thumb", ".AppleDouble", ".metadata"]
SUBS = ["English", "简体中文", "繁體中文", "Français", "Español", "Deutsch", "日本語"]


VIDEO = [".mkv", ".mp4", ".avi", ".m2ts"]


def touch(path):
    open(path, "wb").close()


def movie_files(rng, folder, name):
    """A movie folder's own files: video, poster and .nfo, often more."""
    stem = name.split(" (")[0]
    touch(os.path.join(folder, stem + rng.choice(VIDEO)))
    touch(os.path.join(folder, "poster.jpg"))
    touch(os.path.join(folder, stem + ".nfo"))
    if rng.random() < 0.4:
        touch(os.path.join(folder, "fanart.jpg"))
    if rng.random() < 0.3:
        touch(os.path.join(folder, stem + rng.choice([".srt", ".chs.srt", ".ass"])))


def extra_files(rng, folder):
    for i in range(rng.randint(1, 2)):
        touch(os.path.join(folder, f"{i + 1:02d}" + rng.choice(VIDEO + [".srt", ".jpg"])))


def title(rng):
    kind = rng.random()
    year = rng.randint(1950, 2024)
    if kind < 0.4:
        name = "".join(rng.choice(ZH_CHARS) for _ in range(rng.randint(2, 6)))
        return f"{name} ({year})" if rng.random() < 0.7 else name
    if kind < 0.8:
        words = rng.sample(EN_WORDS, rng.randint(1, 4))
        sep = rng.choice([" ", ".", " "])
        return sep.join(["The"] + words if rng.random() < 0.3 else words) + f" ({year})"
    words = rng.sample(LATIN_WORDS, rng.randint(1, 3))
    return " ".join(words) + f" ({year})"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("--folders", type=int, default=300000)
    ap.add_argument("--seed", type=int, default=20240601)
    args = ap.parse_args()
    if os.path.exists(args.root):
        sys.exit(f"{args.root} exists; remove it first or reuse it")
    rng = random.Random(args.seed)
    per_cat = args.folders // len(CATEGORIES)
    total = 0
    for ci, cat in enumerate(CATEGORIES):
        quota = per_cat if ci < len(CATEGORIES) - 1 else args.folders - total
        base = os.path.join(args.root, cat)
        os.makedirs(base)
        made = 0
        shelves = rng.sample(SHELVES, rng.randint(12, len(SHELVES)))
        shelf_paths = []
        for s in shelves:
            os.mkdir(os.path.join(base, s))
            shelf_paths.append(os.path.join(base, s))
            made += 1
        os.mkdir(os.path.join(base, ".@__thumb"))
        made += 1
        while made < quota:
            shelf = rng.choice(shelf_paths)
            movie = os.path.join(shelf, title(rng))
            if os.path.exists(movie):
                continue
            os.mkdir(movie)
            movie_files(rng, movie, os.path.basename(movie))
            made += 1
            for extra in rng.sample(EXTRAS, rng.choice([0, 0, 1, 1, 2, 3, 4])):
                if made >= quota:
                    break
                p = os.path.join(movie, extra)
                os.mkdir(p)
                extra_files(rng, p)
                made += 1
                if extra in ("Subs", "字幕") and made < quota:
                    for sub in rng.sample(SUBS, rng.randint(1, 3)):
                        if made >= quota:
                            break
                        os.mkdir(os.path.join(p, sub))
                        extra_files(rng, os.path.join(p, sub))
                        made += 1
            if rng.random() < 0.05 and made < quota:
                os.mkdir(os.path.join(movie, rng.choice(HIDDEN)))
                made += 1
        total += made
    print(f"{total} folders below {len(CATEGORIES)} categories in {args.root}")


if __name__ == "__main__":
    main()
