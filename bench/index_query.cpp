// The search index: its size on disk per folder (and with the days folders were first
// seen spread at random, as in a collection gathered over twenty years), the time to load
// it (from either format), the query for a text as the worker runs it, building the paths
// of the matches, the memory the loaded indexes hold, and the time a walk spends dating
// its folders from the earlier index.
//
//   bench_index_query TREE [TEXT...]      the indexes the helper wrote (in the cache
//                                         folder, $XDG_CACHE_HOME/moviecat) for every
//                                         category folder in TREE
//   bench_index_query [FOLDERS] [TEXT...] a generated catalogue of FOLDERS folders
//                                         (default 300,000, names drawn like
//                                         bench/make_library_tree.py's), built and
//                                         read in memory
// Texts default to: dragon e
#include "index/firstseen.h"
#include "index/folderindex.h"
#include "index/indexcache.h"
#include "index/indexform.h"
#include "index/indexquery.h"
#include "resident.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

using moviecat::index::FolderIndex;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const char *const english[] = {"Love",   "Story", "Night",  "Day",    "City",   "Dark",   "Light",
                               "King",   "Queen", "Last",   "First",  "Lost",   "Found",  "River",
                               "Summer", "Dream", "Ghost",  "Secret", "Road",   "Home",   "War",
                               "Blue",   "Red",   "Golden", "Wild",   "Heart",  "Star",   "Moon",
                               "Fire",   "Ice",   "Shadow", "Empire", "Legend", "Dragon", "Return"};
const char *const chinese[] = {"爱情",     "人生",     "天下",     "无间道", "风云",
                               "英雄",     "少年",     "时代",     "春光",   "花样年华",
                               "霸王别姬", "卧虎藏龙", "一代宗师", "功夫"};
const char *const latin[] = {"Amélie", "Café",   "Étoile", "Niño", "Corazón", "Été",
                             "Crème",  "Straße", "Noël",   "Rêve", "Mañana",  "Lágrimas"};
const char *const extras[] = {"Extras",      "Subs", "花絮", "字幕",
                              "Featurettes", "CD1",  "CD2",  "Sample"};

template <class T, std::size_t N> const char *pick(std::mt19937 &random, T (&list)[N])
{
    return list[random() % N];
}

std::string title(std::mt19937 &random)
{
    std::string name;
    const unsigned kind = random() % 6;
    const unsigned words = 1 + random() % 3;
    for (unsigned i = 0; i < words; ++i) {
        if (i)
            name += kind < 2 ? "" : " ";
        name += kind < 2   ? pick(random, chinese)
                : kind < 3 ? pick(random, latin)
                           : pick(random, english);
    }
    return name + " (" + std::to_string(1950 + random() % 75) + ")";
}

// Every category folder's index file, as the helper wrote it.
std::vector<std::pair<std::string, std::string>> indexFiles(const std::string &tree)
{
    std::vector<std::pair<std::string, std::string>> files; // root, bytes
    std::vector<std::string> roots;
    for (const auto &entry : std::filesystem::directory_iterator(tree)) {
        if (entry.is_directory())
            roots.push_back(entry.path().string());
    }
    std::sort(roots.begin(), roots.end());
    const std::string cache = moviecat::index::cacheFolder();
    for (const std::string &root : roots) {
        const auto bytes = moviecat::index::readWhole(
            cache + "/" + moviecat::index::indexFileName(root), std::size_t(1) << 31);
        if (!bytes) {
            std::fprintf(stderr, "no index for %s in %s\n", root.c_str(), cache.c_str());
            std::exit(1);
        }
        files.emplace_back(root, *bytes);
    }
    return files;
}

// A generated catalogue: shelves, movie folders on them, extras inside a third of them.
std::vector<std::pair<std::string, std::string>> generated(std::size_t folders)
{
    std::mt19937 random(1);
    const std::string root = "/srv/films/电影";
    FolderIndex built({root, 0x6969, 2049, 1765180800});
    std::vector<std::uint32_t> shelves;
    for (int i = 0; i < 26 && built.size() < folders; ++i)
        shelves.push_back(built.add(FolderIndex::noParent, "Shelf " + std::to_string(i), {}, 0) +
                          1);
    while (built.size() < folders) {
        const std::string name = title(random);
        const std::uint32_t movie =
            built.add(shelves[random() % shelves.size()], name, moviecat::index::indexForm(name),
                      1700000000 + random() % 60000000) +
            1;
        if (random() % 3 == 0 && built.size() < folders) {
            const std::string extra = pick(random, extras);
            built.add(movie, extra, moviecat::index::indexForm(extra), 1700000000);
        }
    }
    return {{root, built.serialize()}};
}

bool load(const std::vector<std::pair<std::string, std::string>> &files,
          std::vector<FolderIndex> &loaded)
{
    for (const auto &[root, content] : files) {
        auto index = FolderIndex::parse(content, root);
        if (!index) {
            std::fprintf(stderr, "the index of %s did not read back\n", root.c_str());
            return false;
        }
        loaded.push_back(std::move(*index));
    }
    return true;
}

// The indexes with each folder first seen on a day drawn at random from the twenty years
// before their walk: no two folders listed together share a day, the most a day costs.
void spreadDays(const std::vector<FolderIndex> &loaded)
{
    std::mt19937 random(7);
    std::size_t bytes = 0, folders = 0;
    for (FolderIndex index : loaded) {
        const auto today = moviecat::index::dayOf(index.header().walkTime);
        for (std::size_t i = 0; i < index.size(); ++i)
            index.setFirstSeen(std::uint32_t(i), FolderIndex::Day(today - random() % 7300));
        bytes += index.serialize().size();
        folders += index.size();
    }
    std::printf("days spread over 20 years: %.1f bytes per folder\n",
                double(bytes) / double(folders));
}

// What a walk adds at its end: each folder's day from the earlier index, here the same.
void carryDays(const std::vector<FolderIndex> &loaded)
{
    std::vector<FolderIndex> records = loaded;
    const auto start = Clock::now();
    for (std::size_t i = 0; i < records.size(); ++i)
        moviecat::index::carryFirstSeen(records[i], &loaded[i]);
    const double ms = msSince(start);
    std::printf("days carried from the earlier index %.1f ms%s\n", ms,
                records == loaded ? "" : " (NOT the same days)");
}

// The query for *text* on the worker, and then with the paths of its matches.
void runQuery(const std::vector<FolderIndex> &loaded, const std::string &text)
{
    const auto query = moviecat::index::indexQuery("*" + text + "*");
    std::vector<double> runs;
    std::size_t found = 0;
    for (int run = 0; run < 15; ++run) {
        const auto start = Clock::now();
        found = 0;
        for (const FolderIndex &index : loaded)
            found += query.run(index).size();
        runs.push_back(msSince(start));
    }
    std::sort(runs.begin(), runs.end());
    const auto start = Clock::now();
    std::size_t length = 0;
    for (const FolderIndex &index : loaded) {
        for (const std::uint32_t folder : query.run(index))
            length += index.path(folder).size();
    }
    const double pathsMs = msSince(start);
    std::printf(
        "\"%s\": %zu matches, query %.2f ms (median of 15, min %.2f), query + paths %.1f ms "
        "(%zu bytes)\n",
        text.c_str(), found, runs[runs.size() / 2], runs.front(), pathsMs, length);
}

} // namespace

int main(int argc, char **argv)
{
    const bool tree = argc > 1 && std::filesystem::is_directory(argv[1]);
    const auto files = tree ? indexFiles(argv[1])
                            : generated(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300000);
    std::vector<std::string> texts;
    for (int i = 2; i < argc; ++i)
        texts.emplace_back(argv[i]);
    if (texts.empty())
        texts = {"dragon", "e"};

    std::size_t bytes = 0, former = 0;
    for (const auto &file : files) {
        bytes += file.second.size();
        former += file.second.size() > 8 && file.second[8] != FolderIndex::formatVersion ? 1 : 0;
    }
    const long before = bench::residentKiB();
    std::vector<FolderIndex> loaded;
    if (!load(files, loaded))
        return 1;
    const long after = bench::residentKiB();
    // Loaded again, for a time less at the mercy of the machine's other work.
    std::vector<double> loads;
    for (int run = 0; run < 7; ++run) {
        const auto start = Clock::now();
        std::vector<FolderIndex> again;
        load(files, again);
        loads.push_back(msSince(start));
    }
    std::sort(loads.begin(), loads.end());
    std::size_t folders = 0;
    for (const FolderIndex &index : loaded)
        folders += index.size();
    std::printf("%zu indexes, %zu folders, %zu bytes on disk, %.1f bytes per folder\n",
                loaded.size(), folders, bytes, double(bytes) / double(folders));
    std::printf("load (check and parse, files already read; %zu of the former format, "
                "upgraded) %.1f ms (median of 7, min %.1f), resident memory +%.1f MB\n",
                former, loads[loads.size() / 2], loads.front(), double(after - before) / 1024.0);
    spreadDays(loaded);
    carryDays(loaded);
    for (const std::string &text : texts)
        runQuery(loaded, text);
    return 0;
}
