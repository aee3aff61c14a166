// The query words over a search's answer: the year range, the new days, the films held
// twice and all of them together, over a generated catalogue of folder names in the
// shapes real collections use (brackets, release-group dots, a year before the title,
// extras), a share of its films held in two places.
//
//   bench_query_words [FOLDERS] [TEXT...]   default 300,000 folders and the texts
//                                           year:1990-1999, new:30, dup and all three
//
// Each figure is the median of 15 runs (and the fastest), as the worker would run it on
// the whole answer of an empty name pattern, over the folded names the index holds; the
// last one folds the paths first, as for a walk's answer.
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
            names.push_back("/films/category" + std::to_string(random() % 18) + "/" +
                            folderName(random, film, year));
            firstSeen.push_back(today - Day(random() % 2000));
        }
    }
    names.resize(count);
    // Folded, one after the other in one block, as the index keeps them in memory.
    std::string block;
    std::vector<std::size_t> ends;
    for (const std::string &name : names) {
        block += foldedName(name);
        ends.push_back(block.size());
    }
    std::vector<std::string_view> folders;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const std::size_t start = i ? ends[i - 1] : 0;
        folders.push_back(std::string_view(block).substr(start, ends[i] - start));
    }
    const int latest = latestFilmYear();
    const auto seen = [&](std::size_t i) {
        return std::optional<Day>(firstSeen[i]);
    };
    std::printf("%zu folders\n", folders.size());

    std::vector<const char *> texts(argv + std::min(argc, 2), argv + argc);
    const bool everything = texts.empty();
    if (everything)
        texts = {"year:1990-1999", "new:30", "dup", "year:1990-1999 new:30 dup"};
    for (const char *text : texts) {
        const QueryWords query = parseQueryWords(text, latest);
        time(text, [&] { return applyWords(query, today, latest, folders, seen).size(); });
    }
    if (!everything)
        return 0;
    const QueryFilter filter(parseQueryWords("year:1990-1999 new:30", latest), today, latest);
    time("QueryFilter::keeps, one at a time", [&] {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < folders.size(); ++i)
            kept += filter.keeps(folders[i], firstSeen[i]);
        return kept;
    });
    const QueryWords dup = parseQueryWords("dup", latest);
    time("dup, folding the paths first", [&] {
        std::vector<std::string> walked;
        walked.reserve(names.size());
        for (const std::string &path : names)
            walked.push_back(foldedName(path));
        const std::vector<std::string_view> forms(walked.begin(), walked.end());
        return applyWords(dup, today, latest, forms, seen).size();
    });
    return 0;
}
