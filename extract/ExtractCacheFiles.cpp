#include "ExtractCacheFiles.h"

#include "CFileFind.h"
#include "IsSameFile.h"

#include <windows.h>

namespace
{
// The ANSI file functions take at most MAX_PATH bytes, the terminator
// included. A longer path would be cut short and name a different file, so
// such paths are never handed to the system.
bool FitsSystemPath(const CString& path)
{
    return path.GetLength() < MAX_PATH;
}

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
void CopyMatchingFile(const CString& source, const CString& destination, const CString& name)
{
    const CString target = destination + '\\' + name;
    if (!FitsSystemPath(target))
        return;
    if (::CopyFileA(source, target, TRUE) || ::GetLastError() != ERROR_FILE_EXISTS)
        return;
    if (!IsSameFile(source, target))
        ::CopyFileA(source, target, FALSE);
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

        const CString path = finder.GetFilePath();
        if (!FitsSystemPath(path))
            continue;
        const CString name = finder.GetFileName();
        const bool isDirectory = finder.IsDirectory() != FALSE;

        // A folder whose name ends in the type is not a file to copy, but
        // its contents are still walked.
        if (!isDirectory && NameEndsWithType(name, fileType))
            CopyMatchingFile(path, destination, name);

        if (isDirectory && !finder.IsDots())
            ExtractCacheFiles(path, destination, fileType);
    }
    finder.Close();
}
