#include "CAnimatedPicture.h"

#include <climits>
#include <cstring>

namespace
{
const BYTE kExtensionIntroducer = 0x21;
const BYTE kImageSeparator = 0x2C;
const BYTE kTrailer = 0x3B;

const BYTE kPlainTextLabel = 0x01;
const BYTE kGraphicControlLabel = 0xF9;
const BYTE kCommentLabel = 0xFE;
const BYTE kApplicationLabel = 0xFF;

// Header and logical screen descriptor; every cut frame repeats them.
const int kHeadBytes = 13;
const int kPackedByteOffset = 10;

// Bytes in front of the sub-block chain of each chained block.
const int kApplicationHeadBytes = 14;
const int kCommentHeadBytes = 2;
const int kPlainTextHeadBytes = 15;
const int kImageHeadBytes = 11;
const int kImagePackedOffset = 9;
const int kGraphicControlBytes = 8;

int ColorTableBytes(BYTE packed)
{
    return (packed & 0x80) ? 3 << ((packed & 7) + 1) : 0;
}

int Saturated(long long length)
{
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}
}

void CAnimatedPicture::AttachStream(const BYTE* bytes, DWORD size)
{
    m_bytes = bytes;
    m_streamSize = size;
    m_cursor = 0;
    m_colorTableBytes = 0;
    // The packed byte is only believed when the whole logical screen
    // descriptor is there; a shorter "GIF" then fails at its first block.
    if (bytes && size >= static_cast<DWORD>(kHeadBytes) && std::memcmp(bytes, "GIF", 3) == 0)
        m_colorTableBytes = ColorTableBytes(bytes[kPackedByteOffset]);
}

void CAnimatedPicture::DetachStream()
{
    m_bytes = nullptr;
    m_streamSize = 0;
    m_cursor = 0;
    m_colorTableBytes = 0;
}

// Offsets are computed in 64 bits, so that a cursor plus a length taken from
// the stream cannot wrap, and the cursor, an int, caps how far a stream can
// be read.
long long CAnimatedPicture::ReadableEnd() const
{
    if (!m_bytes)
        return 0;
    return m_streamSize > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<long long>(m_streamSize);
}

bool CAnimatedPicture::Holds(long long offset) const
{
    return offset >= 0 && offset < ReadableEnd();
}

// The answer for a block or chain that needs bytes the stream does not have:
// a length that ends one byte past the end, which no bound accepts.
long long CAnimatedPicture::LengthPastEnd(long long from) const
{
    const long long length = ReadableEnd() - from + 1;
    return length > 0 ? length : 1;
}

WORD CAnimatedPicture::WordAt(long long offset) const
{
    return static_cast<WORD>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
}

void CAnimatedPicture::RewindToFirstBlock()
{
    m_cursor = kHeadBytes + m_colorTableBytes;
}

GifBlockKind CAnimatedPicture::PeekBlockKind() const
{
    if (!Holds(m_cursor))
        return GifBlockKind::Unrecognised;
    switch (m_bytes[m_cursor])
    {
    case kImageSeparator:
        return GifBlockKind::ImageDescriptor;
    case kTrailer:
        return GifBlockKind::Trailer;
    case kExtensionIntroducer:
        break;
    default:
        return GifBlockKind::Unrecognised;
    }
    const long long label = static_cast<long long>(m_cursor) + 1;
    if (!Holds(label))
        return GifBlockKind::Unrecognised;
    switch (m_bytes[label])
    {
    case kApplicationLabel:
        return GifBlockKind::ApplicationExtension;
    case kCommentLabel:
        return GifBlockKind::CommentExtension;
    case kGraphicControlLabel:
        return GifBlockKind::GraphicControlExtension;
    case kPlainTextLabel:
        return GifBlockKind::PlainTextExtension;
    default:
        return GifBlockKind::Unrecognised;
    }
}

long long CAnimatedPicture::ChainLength(long long position) const
{
    long long p = position;
    while (Holds(p))
    {
        const BYTE n = m_bytes[p];
        if (n == 0)
            return p - position + 1;
        p += n + 1;
    }
    return LengthPastEnd(position);
}

int CAnimatedPicture::MeasureSubBlockChain(int position) const
{
    return Saturated(ChainLength(position));
}

int CAnimatedPicture::MeasureBlock() const
{
    const long long k = m_cursor;
    switch (PeekBlockKind())
    {
    case GifBlockKind::ApplicationExtension:
        return Saturated(kApplicationHeadBytes + ChainLength(k + kApplicationHeadBytes));
    case GifBlockKind::CommentExtension:
        return Saturated(kCommentHeadBytes + ChainLength(k + kCommentHeadBytes));
    case GifBlockKind::GraphicControlExtension:
        return kGraphicControlBytes;
    case GifBlockKind::PlainTextExtension:
        return Saturated(kPlainTextHeadBytes + ChainLength(k + kPlainTextHeadBytes));
    case GifBlockKind::ImageDescriptor:
    {
        if (!Holds(k + kImagePackedOffset))
            return Saturated(LengthPastEnd(k));
        const long long head = kImageHeadBytes + ColorTableBytes(m_bytes[k + kImagePackedOffset]);
        return Saturated(head + ChainLength(k + head));
    }
    case GifBlockKind::Trailer:
        return 1;
    default:
        return -1;
    }
}

BOOL CAnimatedPicture::SkipBlock()
{
    const int length = MeasureBlock();
    if (length <= 0)
        return FALSE;
    const long long next = static_cast<long long>(m_cursor) + length;
    if (next > ReadableEnd())
        return FALSE;
    m_cursor = static_cast<int>(next);
    return TRUE;
}

// Leaves the cursor on the first block of the next frame: its graphic control
// extension, or its graphic block when it has none.
BOOL CAnimatedPicture::FindFrameStart()
{
    for (;;)
    {
        switch (PeekBlockKind())
        {
        case GifBlockKind::GraphicControlExtension:
        case GifBlockKind::ImageDescriptor:
        case GifBlockKind::PlainTextExtension:
            return TRUE;
        case GifBlockKind::ApplicationExtension:
        case GifBlockKind::CommentExtension:
            if (!SkipBlock())
                return FALSE;
            break;
        default:
            return FALSE;
        }
    }
}

BOOL CAnimatedPicture::PassToGraphicBlock()
{
    if (!SkipBlock())
        return FALSE;
    for (;;)
    {
        switch (PeekBlockKind())
        {
        case GifBlockKind::ImageDescriptor:
        case GifBlockKind::PlainTextExtension:
            return TRUE;
        case GifBlockKind::Unrecognised:
        case GifBlockKind::Trailer:
            return FALSE;
        default:
            if (!SkipBlock())
                return FALSE;
            break;
        }
    }
}

BOOL CAnimatedPicture::SkipFrame()
{
    if (!m_bytes || !FindFrameStart())
        return FALSE;
    if (PeekBlockKind() == GifBlockKind::GraphicControlExtension && !PassToGraphicBlock())
        return FALSE;
    return SkipBlock();
}

HGLOBAL CAnimatedPicture::CutNextFrame(DWORD& length, DWORD& delay, SIZE& size, POINT& offset, DWORD& disposal)
{
    if (!m_bytes)
        return NULL;
    disposal = 0;

    // Every cut repeats the header and global colour table: a stream too short
    // to hold them has no frame to give.
    const long long head = kHeadBytes + static_cast<long long>(m_colorTableBytes);
    if (m_colorTableBytes < 0 || head > ReadableEnd())
        return NULL;

    if (!FindFrameStart())
        return NULL;
    const int start = m_cursor;
    const bool hasControl = PeekBlockKind() == GifBlockKind::GraphicControlExtension;
    if (hasControl && !PassToGraphicBlock())
        return NULL;
    const int graphic = m_cursor;
    const bool isImage = PeekBlockKind() == GifBlockKind::ImageDescriptor;
    if (!SkipBlock())
        return NULL;

    // Read only now that the whole run is known to lie inside the stream.
    if (hasControl)
    {
        delay = WordAt(start + 4);
        disposal = (m_bytes[start + 3] >> 2) & 7;
    }
    else
    {
        delay = 0xFFFFFFFF;
    }
    if (isImage)
    {
        offset.x = WordAt(graphic + 1);
        offset.y = WordAt(graphic + 3);
        size.cx = WordAt(graphic + 5);
        size.cy = WordAt(graphic + 7);
    }

    const DWORD run = static_cast<DWORD>(m_cursor - start);
    const DWORD total = static_cast<DWORD>(head) + run + 1;
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, total);
    if (!block)
        return NULL;
    // A fixed block's handle is its address.
    BYTE* out = static_cast<BYTE*>(block);
    std::memcpy(out, m_bytes, static_cast<size_t>(head));
    std::memcpy(out + head, m_bytes + start, run);
    out[head + run] = kTrailer;
    length = total;
    return block;
}
