// The source folders form layers: a folder includes only folders below it, and the README's
// folder map lists them lowest first. These tests read the sources' include lines and the
// README, so a new include that runs upward, or a cycle between folders, fails here with the
// file and line that made it, as it fails the build of that folder's library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QW_SOURCE_DIR;

struct Include {
    std::string from, to; // folders
    std::string where;    // file:line
};

// The folders with program code: those of the README's map that hold .cpp or .h files,
// outside tests, tools, bench and fuzz.
bool IsSourceFolder(const std::string& name)
{
    static const std::set<std::string> notSource = {"tests", "tools", "bench", "fuzz", "scripts", "resources", "docs",
                                                    "dist",  "cmake"};
    if (notSource.count(name) || !fs::is_directory(kRoot / name))
        return false;
    for (const auto& entry : fs::directory_iterator(kRoot / name))
        if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
            return true;
    return false;
}

// The folder map's rows in order: "| `name/` | ... |".
std::vector<std::string> ReadmeLayers()
{
    std::ifstream readme(kRoot / "README.md");
    std::vector<std::string> layers;
    const std::regex row(R"(^\|\s*`([a-z]+)/`\s*\|)");
    for (std::string line; std::getline(readme, line);) {
        std::smatch match;
        if (std::regex_search(line, match, row) && IsSourceFolder(match[1]))
            layers.push_back(match[1]);
    }
    return layers;
}

std::vector<Include> ReadIncludes(const std::vector<std::string>& folders)
{
    const std::set<std::string> known(folders.begin(), folders.end());
    const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/)");
    std::vector<Include> includes;
    for (const std::string& folder : folders)
        for (const auto& entry : fs::directory_iterator(kRoot / folder)) {
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h")
                continue;
            std::ifstream file(entry.path());
            int number = 0;
            for (std::string line; std::getline(file, line);) {
                ++number;
                std::smatch match;
                if (std::regex_search(line, match, include) && match[1] != folder && known.count(match[1]))
                    includes.push_back({folder, match[1], folder + "/" + entry.path().filename().string() + ":" +
                                                              std::to_string(number)});
            }
        }
    return includes;
}

TEST(Layers, TheReadmeMapsEverySourceFolder)
{
    const std::vector<std::string> layers = ReadmeLayers();
    for (const auto& entry : fs::directory_iterator(kRoot)) {
        if (entry.is_directory() && IsSourceFolder(entry.path().filename().string())) {
            EXPECT_EQ(std::count(layers.begin(), layers.end(), entry.path().filename().string()), 1)
                << entry.path().filename() << " is not in the README's folder map exactly once";
        }
    }
}

TEST(Layers, NoFolderIncludesAFolderAboveIt)
{
    const std::vector<std::string> layers = ReadmeLayers();
    ASSERT_GE(layers.size(), 2u);
    std::map<std::string, size_t> rank;
    for (size_t i = 0; i < layers.size(); ++i)
        rank[layers[i]] = i;
    for (const Include& include : ReadIncludes(layers))
        EXPECT_LT(rank[include.to], rank[include.from])
            << include.where << ": " << include.from << "/ includes " << include.to << "/, which the README lists after it (a higher layer)";
}

TEST(Layers, NoCycleBetweenFolders)
{
    const std::vector<std::string> layers = ReadmeLayers();
    std::map<std::string, std::map<std::string, std::string>> edges; // from -> to -> where
    for (const Include& include : ReadIncludes(layers))
        edges[include.from].emplace(include.to, include.where);
    // Depth-first search; a folder met again while on the path closes a cycle.
    std::map<std::string, int> state; // 0 unseen, 1 on the path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<void(const std::string&)> visit = [&](const std::string& folder) {
        state[folder] = 1;
        path.push_back(folder);
        for (const auto& [to, where] : edges[folder]) {
            if (!cycle.empty())
                break;
            if (state[to] == 1) {
                auto start = std::find(path.begin(), path.end(), to);
                for (auto it = start; it != path.end(); ++it)
                    cycle += *it + " -> ";
                cycle += to + " (" + where + ")";
            } else if (state[to] == 0) {
                visit(to);
            }
        }
        path.pop_back();
        state[folder] = 2;
    };
    for (const std::string& folder : layers)
        if (state[folder] == 0 && cycle.empty())
            visit(folder);
    EXPECT_EQ(cycle, "") << "folders include each other in a cycle";
}

} // namespace
