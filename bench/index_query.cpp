// The search index on a generated catalogue of N folders (default 300,000, names drawn
// like bench/make_library_tree.py's): its size on disk per folder, the time to load it,
// the query for a text on the worker, building the paths of the matches, and the memory
// the loaded index holds. Nothing touches the disk: the file is built and read in memory.
//
//   bench_index_query [FOLDERS] [TEXT...]      (texts default: dragon e)
#include "cmd/indexform.h"
#include "index/folderindex.h"
#include "index/indexquery.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using moviecat::index::FolderIndex;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
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

} // namespace

int main(int argc, char **argv)
{
    const std::size_t folders = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300000;
    std::vector<std::string> texts;
    for (int i = 2; i < argc; ++i)
        texts.emplace_back(argv[i]);
    if (texts.empty())
        texts = {"dragon", "e"};

    // Shelves, movie folders on them, extras inside a third of the movies.
    std::mt19937 random(1);
    FolderIndex built({"/srv/films/电影", 0x6969, 2049, 1765180800});
    std::vector<std::uint32_t> shelves;
    for (int i = 0; i < 26 && built.size() < folders; ++i)
        shelves.push_back(built.add(FolderIndex::noParent, "Shelf " + std::to_string(i), {}, 0) +
                          1);
    while (built.size() < folders) {
        const std::string name = title(random);
        const std::uint32_t movie =
            built.add(shelves[random() % shelves.size()], name, moviecat::cmd::indexForm(name),
                      1700000000 + random() % 60000000) +
            1;
        if (random() % 3 == 0 && built.size() < folders) {
            const std::string extra = pick(random, extras);
            built.add(movie, extra, moviecat::cmd::indexForm(extra), 1700000000);
        }
    }

    const std::string bytes = built.serialize();
    const long before = residentKiB();
    auto start = Clock::now();
    const auto loaded = FolderIndex::parse(bytes, "/srv/films/电影");
    const double loadMs = msSince(start);
    const long after = residentKiB();
    if (!loaded) {
        std::fprintf(stderr, "the index did not read back\n");
        return 1;
    }
    std::printf("folders %zu, file %zu bytes, %.1f bytes per folder\n", loaded->size(),
                bytes.size(), double(bytes.size()) / double(loaded->size()));
    std::printf("load (check and parse) %.1f ms, resident memory +%.1f MB\n", loadMs,
                double(after - before) / 1024.0);
    for (const std::string &text : texts) {
        const auto query = moviecat::cmd::indexQuery("*" + text + "*");
        std::vector<double> runs;
        std::size_t found = 0;
        for (int run = 0; run < 15; ++run) {
            start = Clock::now();
            found = query.run(*loaded).size();
            runs.push_back(msSince(start));
        }
        std::sort(runs.begin(), runs.end());
        start = Clock::now();
        std::size_t length = 0;
        for (const std::uint32_t folder : query.run(*loaded))
            length += loaded->path(folder).size();
        const double pathsMs = msSince(start);
        std::printf(
            "\"%s\": %zu matches, query %.2f ms (median of 15, min %.2f), query + paths %.1f ms "
            "(%zu bytes)\n",
            text.c_str(), found, runs[runs.size() / 2], runs.front(), pathsMs, length);
    }
    return 0;
}
