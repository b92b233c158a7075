#pragma once

#include "CString.h"

// Walks folder depth-first and copies every entry whose name ends in
// fileType (case ignored) flat into destination, replacing files of the same
// name. Nothing is reported: an entry that cannot be read or copied is
// passed over and the walk goes on.
void ExtractCacheFiles(CString folder, CString destination, CString fileType);
