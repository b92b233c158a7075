#pragma once

#include "CStatic.h"
#include "GifFrame.h"

#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <vector>

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

// A static control that shows one picture from a resource or a memory block.
// A GIF of two or more frames plays on a thread of its own; anything else the
// system's picture loader reads is drawn once. All drawing goes to an
// off-screen surface the size of the picture, and painting only copies it.
//
// The control is one class in two files: the GIF block reader, pure byte
// logic over the attached stream, and the window part.
class CAnimatedPicture : public CStatic
{
public:
    CAnimatedPicture();
    ~CAnimatedPicture() override;

    // Non-zero when the picture was loaded and the surface made.
    BOOL LoadFromResource(LPCSTR name, LPCSTR type);
    // Non-zero only after a still picture was drawn; an animation starts
    // its thread and answers 0, and one that already plays is left as it is.
    BOOL Show();
    BOOL HasAnimation() const;
    void StopAnimation();
    void Clear();

protected:
    static const MessageMap* ThisMessageMap();
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    // The caller keeps the block, a movable global memory block, for the
    // duration of the call.
    BOOL LoadFromMemory(HGLOBAL block, DWORD size);
    BOOL CreateSurface(int cx, int cy);

    static unsigned __stdcall AnimationThreadProc(void* control);
    void RunAnimation();
    void DisposeCurrentFrame();
    // Milliseconds a frame stays: 100 below a delay of 5, else delay x 10,
    // unsigned 32-bit.
    static DWORD FrameTime(DWORD delay);

    void OnPaint();
    void OnDestroy();

    // The GIF block reader. It borrows the stream; the caller keeps it alive
    // and readable until DetachStream.
    void AttachStream(const BYTE* bytes, DWORD size);
    void DetachStream();

    void RewindToFirstBlock();
    GifBlockKind PeekBlockKind() const;
    int MeasureSubBlockChain(int position) const;
    int MeasureBlock() const;
    BOOL SkipBlock();
    BOOL SkipFrame();
    HGLOBAL CutNextFrame(DWORD& length, DWORD& delay, SIZE& size, POINT& offset, DWORD& disposal);

    SIZE m_pixelSize = {0, 0};
    COLORREF m_fillColor = RGB(255, 255, 255);
    int m_frameIndex = 0;
    DWORD m_streamSize = 0;
    int m_cursor = 0;
    int m_colorTableBytes = 0;
    BOOL m_gifStream = FALSE;
    // Set on the user-interface thread, read by the animation thread.
    std::atomic<BOOL> m_stopRequested{FALSE};
    BOOL m_surfaceReady = FALSE;
    HDC m_surfaceDC = nullptr;
    HDC m_underDC = nullptr;
    HBITMAP m_underBitmap = nullptr;
    HGDIOBJ m_underPrevBitmap = nullptr;
    HBITMAP m_surfaceBitmap = nullptr;
    HGDIOBJ m_surfacePrevBitmap = nullptr;
    HANDLE m_threadHandle = nullptr;
    HANDLE m_stopEvent;
    IPicture* m_stillPicture = nullptr;
    const BYTE* m_bytes = nullptr;
    std::vector<GifFrame> m_frames;
    // The animation thread draws into the surface while OnPaint copies it
    // out: one of them at a time.
    CRITICAL_SECTION m_surfaceLock;

private:
    BOOL LoadGif(HGLOBAL block, const BYTE* bytes, DWORD size);
    BOOL LoadStill(HGLOBAL block, DWORD size);
    void SaveAreaUnder(const GifFrame& frame);
    void ReleaseUnderArea();
    void InvalidateSurface() const;
    // Waits for a thread that outlived StopAnimation; afterwards nothing
    // runs that uses the pictures or the surface.
    void WaitForAnimationThread();

    long long ReadableEnd() const;
    bool Holds(long long offset) const;
    long long LengthPastEnd(long long from) const;
    long long ChainLength(long long position) const;
    WORD WordAt(long long offset) const;
    BOOL FindFrameStart();
    BOOL PassToGraphicBlock();
};
