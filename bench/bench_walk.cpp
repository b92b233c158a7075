// Times the cache walk against a bare loop written directly on the system's
// search and copy calls, over the same synthetic cache tree, in one run.
// Rounds alternate between the two so that drift on a shared machine hits
// both alike; the figures are medians.
//
//   bench_walk [work folder]     prints "name: value" lines

#include "ExtractCacheFiles.h"
#include "NowMs.h"
#include "ScratchFolder.h"

#include <windows.h>
#include <mbstring.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kFolders = 1100;
constexpr int kFiles = 21000;
constexpr int kMatching = 2000;
constexpr int kMaxDepth = 6;
constexpr int kRounds = 7;

unsigned g_seed = 12345;
unsigned NextRandom()
{
    g_seed = g_seed * 1103515245u + 12345u;
    return (g_seed >> 8) & 0xFFFFFF;
}

void WriteFileOfSize(const std::string& path, size_t size)
{
    static const std::string block(64 * 1024, 'c');
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, block.data(), static_cast<DWORD>(std::min(size, block.size())), &written, nullptr);
    ::CloseHandle(file);
}

struct Tree
{
    std::vector<std::string> folders;
    int depth = 0;
};

// Folders hang off random earlier folders, so depths spread from 1 to 6;
// files are spread over all folders, a tenth of them with the matching type
// in mixed case and of mixed small sizes.
Tree BuildTree(const std::string& root)
{
    Tree tree;
    std::vector<int> depths;
    ::CreateDirectoryA(root.c_str(), nullptr);
    tree.folders.push_back(root);
    depths.push_back(0);
    while (static_cast<int>(tree.folders.size()) < kFolders + 1)
    {
        const size_t parent = NextRandom() % tree.folders.size();
        if (depths[parent] >= kMaxDepth)
            continue;
        char name[32];
        std::snprintf(name, sizeof name, "\\F%04X", static_cast<unsigned>(tree.folders.size()));
        tree.folders.push_back(tree.folders[parent] + name);
        depths.push_back(depths[parent] + 1);
        ::CreateDirectoryA(tree.folders.back().c_str(), nullptr);
        tree.depth = std::max(tree.depth, depths.back());
    }
    static const char* const kOtherTypes[] = {"txt", "jpg", "gif", "htm", "js", "css", "dat", "png", "mp3"};
    static const char* const kMatchingTypes[] = {"flv", "FLV", "Flv"};
    for (int i = 0; i < kFiles; ++i)
    {
        const std::string& folder = tree.folders[NextRandom() % tree.folders.size()];
        char name[48];
        const bool matching = i % (kFiles / kMatching) == 0 && i / (kFiles / kMatching) < kMatching;
        if (matching)
        {
            std::snprintf(name, sizeof name, "\\clip%05d.%s", i, kMatchingTypes[i % 3]);
            WriteFileOfSize(folder + name, 256 + NextRandom() % (24 * 1024));
        }
        else
        {
            std::snprintf(name, sizeof name, "\\item%05d.%s", i, kOtherTypes[NextRandom() % 9]);
            WriteFileOfSize(folder + name, NextRandom() % 512);
        }
    }
    return tree;
}

// The same job with nothing but the system calls and fixed buffers.
void BareWalk(const char* folder, const char* destination, const char* fileType)
{
    char pattern[MAX_PATH];
    std::snprintf(pattern, sizeof pattern, "%s\\*.*", folder);
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const size_t typeLength = std::strlen(fileType);
    do
    {
        const char* name = entry.cFileName;
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s\\%s", folder, name);
        const size_t nameLength = std::strlen(name);
        const char* tail = nameLength > typeLength ? name + nameLength - typeLength : name;
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!directory && _mbsicmp(reinterpret_cast<const unsigned char*>(tail),
                                   reinterpret_cast<const unsigned char*>(fileType)) == 0)
        {
            char target[MAX_PATH];
            std::snprintf(target, sizeof target, "%s\\%s", destination, name);
            ::CopyFileA(path, target, FALSE);
        }
        if (directory && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            BareWalk(path, destination, fileType);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
}

void EmptyFolder(const std::string& folder)
{
    ::CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timings
{
    std::vector<double> walk;
    std::vector<double> bare;
};

// fresh: each round starts from empty destinations; otherwise every target
// already exists and is replaced.
Timings Measure(const std::string& cache, const std::string& walkDest, const std::string& bareDest, bool fresh)
{
    Timings timings;
    for (int round = 0; round < kRounds; ++round)
    {
        const bool walkFirst = round % 2 == 0;
        for (int turn = 0; turn < 2; ++turn)
        {
            const bool walk = (turn == 0) == walkFirst;
            const std::string& dest = walk ? walkDest : bareDest;
            if (fresh)
                EmptyFolder(dest);
            const double start = NowMs();
            if (walk)
                ExtractCacheFiles(cache.c_str(), dest.c_str(), "flv");
            else
                BareWalk(cache.c_str(), dest.c_str(), "flv");
            (walk ? timings.walk : timings.bare).push_back(NowMs() - start);
        }
    }
    return timings;
}
}

int main(int argc, char** argv)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    // Made afresh, and removed with everything in it when the run ends.
    const ScratchFolder workFolder(argc > 1 ? argv[1] : std::string(temp) + "quelt-bench");
    const std::string& work = workFolder.Path();
    const std::string cache = work + "\\cache";
    const std::string walkDest = work + "\\walk";
    const std::string bareDest = work + "\\bare";
    ::CreateDirectoryA(walkDest.c_str(), nullptr);
    ::CreateDirectoryA(bareDest.c_str(), nullptr);

    const double buildStart = NowMs();
    const Tree tree = BuildTree(cache);
    std::printf("tree_build_ms: %.0f\n", NowMs() - buildStart);
    std::printf("tree_folders: %d\n", static_cast<int>(tree.folders.size()));
    std::printf("tree_files: %d\n", kFiles);
    std::printf("tree_entries: %d\n", kFiles + static_cast<int>(tree.folders.size()) - 1);
    std::printf("tree_depth: %d\n", tree.depth);
    std::printf("matching_files: %d\n", kMatching);
    std::printf("rounds: %d\n", kRounds);

    const Timings fresh = Measure(cache, walkDest, bareDest, true);
    const Timings replace = Measure(cache, walkDest, bareDest, false);

    const double walkMs = Median(fresh.walk);
    const double bareMs = Median(fresh.bare);
    std::printf("walk_ms: %.1f\n", walkMs);
    std::printf("bare_ms: %.1f\n", bareMs);
    std::printf("walk_files_per_s: %.0f\n", (kFiles + tree.folders.size() - 1) / (walkMs / 1000.0));
    std::printf("walk_vs_bare_ratio: %.3f\n", walkMs / bareMs);
    std::printf("walk_replace_ms: %.1f\n", Median(replace.walk));
    std::printf("bare_replace_ms: %.1f\n", Median(replace.bare));
    std::printf("walk_vs_bare_ratio_replace: %.3f\n", Median(replace.walk) / Median(replace.bare));

    const auto walkFiles = ScratchFolder::Files(walkDest);
    const bool same = walkFiles == ScratchFolder::Files(bareDest);
    std::printf("copied_files: %d\n", static_cast<int>(walkFiles.size()));
    std::printf("same_result: %s\n", same ? "yes" : "no");
    return walkFiles.size() == static_cast<size_t>(kMatching) && same ? 0 : 1;
}
