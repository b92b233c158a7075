#pragma once

#include "CAnimatedPicture.h"
#include "resource.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// GIF streams put together block by block for the reader's tests, the logo
// as the program carries it, and a window onto the reader's protected parts.

using Bytes = std::vector<BYTE>;

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes Prefix(const Bytes& bytes, size_t count)
{
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

inline Bytes Word(int value)
{
    return {static_cast<BYTE>(value & 0xFF), static_cast<BYTE>((value >> 8) & 0xFF)};
}

// Data cut into sub-blocks of at most 255 bytes, then the terminator.
inline Bytes SubBlocks(const Bytes& data)
{
    Bytes chain;
    for (size_t at = 0; at < data.size(); at += 255)
    {
        const size_t n = data.size() - at < 255 ? data.size() - at : 255;
        chain.push_back(static_cast<BYTE>(n));
        chain.insert(chain.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                     data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    chain.push_back(0);
    return chain;
}

// A colour table of the size a packed byte asks for; empty without bit 7.
inline Bytes ColorTable(BYTE packed)
{
    Bytes table;
    if (packed & 0x80)
        for (int i = 0; i < 3 << ((packed & 7) + 1); ++i)
            table.push_back(static_cast<BYTE>(i * 7));
    return table;
}

// Header, logical screen descriptor and the global colour table.
inline Bytes GifHead(BYTE packed, int width = 2, int height = 2, const char* version = "89a")
{
    Bytes head = {'G', 'I', 'F'};
    head.insert(head.end(), version, version + 3);
    return Cat({head, Word(width), Word(height), {packed, 0, 0}, ColorTable(packed)});
}

inline Bytes GifControl(int delay, BYTE packed)
{
    return Cat({{0x21, 0xF9, 0x04, packed}, Word(delay), {0x00, 0x00}});
}

inline Bytes GifComment(const std::string& text)
{
    return Cat({{0x21, 0xFE}, SubBlocks(Bytes(text.begin(), text.end()))});
}

// The looping extension that animated GIFs carry ahead of their frames.
inline Bytes GifApplication()
{
    const std::string id = "NETSCAPE2.0";
    return Cat({{0x21, 0xFF, 0x0B}, Bytes(id.begin(), id.end()), SubBlocks({0x01, 0x00, 0x00})});
}

inline Bytes GifPlainText(const std::string& text)
{
    return Cat({{0x21, 0x01, 0x0C}, Word(0), Word(0), Word(16), Word(8), {8, 8, 1, 0},
                SubBlocks(Bytes(text.begin(), text.end()))});
}

// The data by default is one pixel of colour 0 at code size 2.
inline Bytes GifImage(int left, int top, int width, int height, BYTE packed = 0,
                      const Bytes& data = {0x44, 0x01})
{
    return Cat({{0x2C}, Word(left), Word(top), Word(width), Word(height), {packed},
                ColorTable(packed), {0x02}, SubBlocks(data)});
}

inline Bytes GifTrailer()
{
    return {0x3B};
}

// IDR_LOGO_GIF from this executable's resources, as the program finds it.
struct ResourceBytes
{
    const BYTE* bytes;
    DWORD size;
};

inline ResourceBytes LogoResource()
{
    HMODULE module = ::GetModuleHandleA(NULL);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(IDR_LOGO_GIF), "GIF");
    HGLOBAL loaded = found ? ::LoadResource(module, found) : NULL;
    const void* locked = loaded ? ::LockResource(loaded) : NULL;
    return {static_cast<const BYTE*>(locked), found ? ::SizeofResource(module, found) : 0};
}

class ReaderProbe : public CAnimatedPicture
{
public:
    using CAnimatedPicture::AttachStream;
    using CAnimatedPicture::DetachStream;
    using CAnimatedPicture::RewindToFirstBlock;
    using CAnimatedPicture::PeekBlockKind;
    using CAnimatedPicture::MeasureSubBlockChain;
    using CAnimatedPicture::MeasureBlock;
    using CAnimatedPicture::SkipBlock;
    using CAnimatedPicture::SkipFrame;
    using CAnimatedPicture::CutNextFrame;
    using CAnimatedPicture::m_streamSize;
    using CAnimatedPicture::m_cursor;
    using CAnimatedPicture::m_colorTableBytes;
    using CAnimatedPicture::m_bytes;

    void Attach(const Bytes& stream)
    {
        AttachStream(stream.data(), static_cast<DWORD>(stream.size()));
    }
};
