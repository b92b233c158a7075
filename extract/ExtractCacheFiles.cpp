#include "ExtractCacheFiles.h"

#include "CFileFind.h"
#include "FileCalls.h"
#include "IsSameFile.h"

#include <windows.h>

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

// Copies with replacement, but never onto the source itself (the destination
// lies inside the walked tree, or a hard link joins the two names): that copy
// would truncate the file before reading it. Most targets do not exist yet,
// so the copy is first asked to leave existing targets alone; that costs
// nothing extra, and only the targets that exist need the identity check.
template <typename Path>
void CopyReplacing(const Path& source, const Path& target)
{
    if (!FitsSystemPath(source) || !FitsSystemPath(target))
        return;
    if (CopyFileOf(PathText(source), PathText(target), TRUE) || ::GetLastError() != ERROR_FILE_EXISTS)
        return;
    if (!IsSameFile(source, target))
        CopyFileOf(PathText(source), PathText(target), FALSE);
}

// A name the code page cannot spell is copied under its own full name, which
// only the wide functions can write; every other name goes the ANSI way.
void CopyMatchingFile(const CFileFind& finder, const CString& destination)
{
    if (finder.IsNameInCodePage())
        CopyReplacing(finder.GetFilePath(), destination + '\\' + finder.GetFileName());
    else
        CopyReplacing(finder.GetFilePathW(), destination.ToWide() + L'\\' + finder.GetFileNameW());
}

// The path that leads into a folder through the ANSI functions: its own, or
// its short name's when the code page cannot spell its name. Empty when
// there is no such way.
CString ReachableFolderPath(const CFileFind& finder)
{
    return finder.IsNameInCodePage() ? finder.GetFilePath() : finder.GetShortFilePath();
}
}

void ExtractCacheFiles(CString folder, CString destination, CString fileType)
{
    const CString pattern = SearchPatternFor(folder);
    if (!FitsSystemPath(pattern))
        return;

    CFileFind finder;
    BOOL more = finder.FindFile(pattern);
    while (more)
    {
        more = finder.FindNextFile();

        const bool isDirectory = finder.IsDirectory() != FALSE;
        // A folder whose name ends in the type is not a file to copy, but
        // its contents are still walked.
        if (!isDirectory && NameEndsWithType(finder.GetFileName(), fileType))
            CopyMatchingFile(finder, destination);

        if (isDirectory && !finder.IsDots())
        {
            const CString path = ReachableFolderPath(finder);
            if (!path.IsEmpty() && FitsSystemPath(path))
                ExtractCacheFiles(path, destination, fileType);
        }
    }
    finder.Close();
}
