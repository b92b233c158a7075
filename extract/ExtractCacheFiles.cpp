#include "ExtractCacheFiles.h"

#include "CFileFind.h"
#include "FileCalls.h"
#include "IsSameFile.h"
#include "SourceWriteLock.h"

#include <windows.h>

#include <set>
#include <string>

namespace
{
CString SearchPatternFor(const CString& folder)
{
    CString pattern = folder;
    if (!pattern.EndsWithBackslash())
        pattern += '\\';
    return pattern + "*.*";
}

// Hands each entry of a folder to visit, in the order the search delivers
// them; the search stays open while visit runs.
template <typename Visit>
void ForEachEntry(const CString& folder, Visit visit)
{
    const CString pattern = SearchPatternFor(folder);
    if (!FitsSystemPath(pattern))
        return;
    CFileFind finder;
    BOOL more = finder.FindFile(pattern);
    while (more)
    {
        more = finder.FindNextFile();
        visit(finder);
    }
    finder.Close();
}

// A plain ending test, not an extension test: "rm" matches "firm". The tail
// has to start on a character: the last bytes of a name that ends in a
// Chinese character can spell an ASCII type without the name ending in it.
bool NameEndsWithType(const CString& name, const CString& fileType)
{
    const int tailStart = name.GetLength() - fileType.GetLength();
    if (tailStart > 0 && !name.IsCharStart(tailStart))
        return false;
    return name.Right(fileType.GetLength()).CompareNoCase(fileType) == 0;
}

// The names of the files in a folder when a walk begins, with case
// ignored. A copy under one of these names will most likely replace a file,
// any other will most likely make a new one; the guess only picks which
// calls come first, never what the copy does.
class NamesInFolder
{
public:
    explicit NamesInFolder(const CString& folder)
    {
        ForEachEntry(folder, [this](const CFileFind& finder) {
            if (!finder.IsDirectory())
                m_names.insert(finder.GetFileName());
        });
    }

    bool Contains(const CString& name) const { return m_names.count(name) != 0; }

private:
    struct NoCaseLess
    {
        bool operator()(const CString& a, const CString& b) const { return a.CompareNoCase(b) < 0; }
    };
    std::set<CString, NoCaseLess> m_names;
};

// Copies with replacement, but never onto the source itself: that copy
// would truncate the file before reading it.
template <typename Path>
void CopyReplacing(const Path& source, const Path& target, bool targetLikelyExists)
{
    if (!FitsSystemPath(source) || !FitsSystemPath(target))
        return;
    // A missing target cannot be the source, and the system tells for free
    // whether it is missing when asked to leave existing targets alone. Where
    // the target most likely exists that first try would only cost time.
    if (!targetLikelyExists
        && (CopyFileOf(PathText(source), PathText(target), TRUE) || ::GetLastError() != ERROR_FILE_EXISTS))
        return;
    // When the lock cannot be had (somebody else writes the source, or it
    // cannot be read), the identity check decides instead.
    const SourceWriteLock lock(source);
    if (lock.IsHeld() || !IsSameFile(source, target))
        CopyFileOf(PathText(source), PathText(target), FALSE);
}

// One walk over a tree into one destination: what stays the same from
// folder to folder.
class CacheWalk
{
public:
    CacheWalk(const CString& destination, const CString& fileType)
        : m_destination(destination), m_fileType(fileType), m_namesThere(destination)
    {
    }

    void Walk(const CString& folder)
    {
        ForEachEntry(folder, [this](const CFileFind& finder) {
            const bool isDirectory = finder.IsDirectory() != FALSE;
            // A folder whose name ends in the type is not a file to copy, but
            // its contents are still walked.
            if (!isDirectory && NameEndsWithType(finder.GetFileName(), m_fileType))
                CopyMatchingFile(finder);

            if (isDirectory && !finder.IsDots())
            {
                const CString path = ReachableFolderPath(finder);
                if (!path.IsEmpty() && FitsSystemPath(path))
                    Walk(path);
            }
        });
    }

private:
    // A name the code page cannot spell is copied under its own full name,
    // which only the wide functions can write; every other name goes the
    // ANSI way.
    void CopyMatchingFile(const CFileFind& finder) const
    {
        const bool likelyThere = m_namesThere.Contains(finder.GetFileName());
        if (finder.IsNameInCodePage())
            CopyReplacing(finder.GetFilePath(), m_destination + '\\' + finder.GetFileName(), likelyThere);
        else
            CopyReplacing(finder.GetFilePathW(), m_destination.ToWide() + L'\\' + finder.GetFileNameW(), likelyThere);
    }

    // The path that leads into a folder through the ANSI functions: its own,
    // or its short name's when the code page cannot spell its name. Empty
    // when there is no such way.
    static CString ReachableFolderPath(const CFileFind& finder)
    {
        return finder.IsNameInCodePage() ? finder.GetFilePath() : finder.GetShortFilePath();
    }

    const CString& m_destination;
    const CString& m_fileType;
    const NamesInFolder m_namesThere;
};
}

void ExtractCacheFiles(CString folder, CString destination, CString fileType)
{
    CacheWalk(destination, fileType).Walk(folder);
}
