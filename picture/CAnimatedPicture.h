#pragma once

#include <windows.h>

enum class GifBlockKind
{
    Unrecognised = 0,
    ApplicationExtension = 1,
    CommentExtension = 2,
    GraphicControlExtension = 3,
    PlainTextExtension = 4,
    ImageDescriptor = 5,
    Trailer = 6,
};

class CAnimatedPicture
{
public:
    CAnimatedPicture() = default;
    ~CAnimatedPicture() = default;

    CAnimatedPicture(const CAnimatedPicture&) = delete;
    CAnimatedPicture& operator=(const CAnimatedPicture&) = delete;

protected:
    // The reader borrows the stream; the caller keeps it alive and readable
    // until DetachStream.
    void AttachStream(const BYTE* bytes, DWORD size);
    void DetachStream();

    void RewindToFirstBlock();
    GifBlockKind PeekBlockKind() const;
    int MeasureSubBlockChain(int position) const;
    int MeasureBlock() const;
    BOOL SkipBlock();
    BOOL SkipFrame();
    HGLOBAL CutNextFrame(DWORD& length, DWORD& delay, SIZE& size, POINT& offset, DWORD& disposal);

    DWORD m_streamSize = 0;
    int m_cursor = 0;
    int m_colorTableBytes = 0;
    const BYTE* m_bytes = nullptr;

private:
    long long ReadableEnd() const;
    bool Holds(long long offset) const;
    long long LengthPastEnd(long long from) const;
    long long ChainLength(long long position) const;
    WORD WordAt(long long offset) const;
    BOOL FindFrameStart();
    BOOL PassToGraphicBlock();
};
