#pragma once

#include <windows.h>

// A point that can be built from its two coordinates, as message handlers
// receive it.
struct CPoint : POINT
{
    CPoint() : POINT{0, 0} {}
    CPoint(LONG px, LONG py) : POINT{px, py} {}
};
