// The query words over a search's answer: the year range, the new days, the films held
// twice and all of them together, over a generated catalogue of folder names in the
// shapes real collections use (brackets, release-group dots, a year before the title,
// extras), a share of its films held in two places.
//
//   bench_query_words [FOLDERS] [TEXT...]   default 300,000 folders; texts: year:1990-1999,
//                                           new:30, dup, all three, and each with "love"
//
// Each figure is the median of 15 runs (and the fastest): the film table built once for
// an index; each text as the worker answers it, the index's query for the name pattern
// and then the words; the dup word over a walk's lines, which are folded first.
#include "index/folderindex.h"
#include "index/indexform.h"
#include "index/indexquery.h"
#include "query/foldedname.h"
#include "query/nameyear.h"
#include "query/queryfilter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

using namespace moviecat::query;

namespace {

using Clock = std::chrono::steady_clock;

const char *const words[] = {
    "Love",   "Night", "City",   "Dark",   "King",   "Lost",   "River",  "Dream",  "Ghost", "Road",
    "War",    "Blue",  "Heart",  "Star",   "Fire",   "Dragon", "Summer", "Secret", "Home",  "Wild",
    "Moon",   "Ice",   "Queen",  "Legend", "Return", "Shadow", "Golden", "First",  "Last",  "Found",
    "英雄",   "天下",  "风云",   "少年",   "人生",   "时代",   "春光",   "功夫",   "爱情",  "江湖",
    "Amélie", "Café",  "Étoile", "Noël",   "Rêve",   "Niño",   "Crème",  "Mañana"};

// Three or four words: a catalogue's titles rarely meet by chance.
std::string title(std::mt19937 &random)
{
    std::string name;
    for (unsigned i = 0, n = 3 + random() % 2; i < n; ++i)
        name += std::string(i ? " " : "") + words[random() % std::size(words)];
    return name;
}

// One folder name of a film, in one of the shapes collections hold, or an extras folder.
std::string folderName(std::mt19937 &random, const std::string &film, int year)
{
    std::string dotted = film;
    std::replace(dotted.begin(), dotted.end(), ' ', '.');
    const std::string y = std::to_string(year);
    switch (random() % 6) {
    case 0:
        return film + " (" + y + ")";
    case 1:
        return dotted + "." + y + ".1080p.BluRay.x264-GRP";
    case 2:
        return "[" + y + "] " + film;
    case 3:
        return film + " " + y;
    case 4:
        return film + " [" + y + "]";
    default:
        return random() % 2 ? "Extras" : "CD1";
    }
}

double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall time, and the processor time of this thread, which a loaded machine changes less.
template <class Run> void time(const char *what, Run run)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    std::size_t found = 0;
    for (int i = 0; i < 15; ++i) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = threadMs();
        found = run();
        cpu.push_back(threadMs() - cpuStart);
        wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-36s %7zu kept  %6.2f ms (median of 15, min %.2f; processor %.2f ms)\n", what,
                found, wall[wall.size() / 2], wall.front(), cpu[cpu.size() / 2]);
}

// An index of the names, as the helper writes it and the window loads it.
moviecat::index::FolderIndex makeIndex(const std::vector<std::string> &names)
{
    using moviecat::index::FolderIndex;
    FolderIndex index({"/films", 0, 0, 0});
    for (const std::string &name : names)
        index.add(FolderIndex::noParent, name, moviecat::index::indexForm(name), 0);
    return index;
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300000;
    std::mt19937 random(1995);
    std::vector<std::string> names;
    std::vector<Day> firstSeen;
    const Day today = localToday();
    while (names.size() < count) {
        const std::string film = title(random);
        const int year = 1950 + int(random() % 75);
        // One film in twenty is held in a second category, in another shape.
        for (int copy = 0, copies = random() % 20 == 0 ? 2 : 1; copy < copies; ++copy) {
            names.push_back(folderName(random, film, year));
            firstSeen.push_back(today - Day(random() % 2000));
        }
    }
    names.resize(count);
    firstSeen.resize(count);
    const moviecat::index::FolderIndex index = makeIndex(names);
    const FoldedNames folded = [&](std::size_t row) {
        return index.folded(row);
    };
    const FirstSeen seen = [&](std::size_t row) {
        return std::optional<Day>(firstSeen[row]);
    };
    const int latest = latestFilmYear();
    std::printf("%zu folders\n", index.size());

    FilmTable films;
    time("the film table, once an index", [&] {
        films = FilmTable(index.size(), folded, latest);
        return films.size();
    });
    std::vector<const char *> texts(argv + std::min(argc, 2), argv + argc);
    if (texts.empty())
        texts = {
            "",     "year:1990-1999",      "new:30",      "dup",     "year:1990-1999 new:30 dup",
            "love", "love year:1990-1999", "love new:30", "love dup"};
    for (const char *text : texts) {
        const QueryWords query = parseQueryWords(text, latest);
        const moviecat::index::IndexQuery pattern =
            moviecat::index::indexQuery("*" + query.pattern + "*");
        time(*text ? text : "(no words, every folder)", [&] {
            const std::vector<std::uint32_t> rows = pattern.run(index);
            return applyWords(query, today, films, rows, seen).size();
        });
    }
    const QueryWords dup = parseQueryWords("dup", latest);
    time("dup over a walk's lines, folded first", [&] {
        std::vector<std::string> lines;
        lines.reserve(names.size());
        for (const std::string &name : names)
            lines.push_back(foldedName("/films/" + name));
        return applyWords(dup, today, latest, lines, seen).size();
    });
    return 0;
}
