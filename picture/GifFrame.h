#pragma once

#include <windows.h>
#include <ocidl.h>

// One decoded frame of an animated GIF, as it plays.
struct GifFrame
{
    IPicture* picture;  // owned through the control's frame list
    SIZE size;          // pixels, from the image descriptor
    POINT offset;       // pixels, within the logical screen
    DWORD delay;        // hundredths of a second; 0xFFFFFFFF without a graphic control extension
    DWORD disposal;     // 0-7; 0 without a graphic control extension
};
