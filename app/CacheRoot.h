#pragma once

// The browser cache that the tool empties, fixed whatever the current user.
constexpr char CACHE_ROOT[] = "C:\\Documents and Settings\\Administrator\\Local Settings\\Temporary Internet Files";
