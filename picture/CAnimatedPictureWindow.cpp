// The control part of CAnimatedPicture: loading, the off-screen surface, the
// animation thread and painting. The GIF block reader lives beside it.
#include "CAnimatedPicture.h"

#include "CPaintDC.h"
#include "CWinApp.h"

#include <ole2.h>
#include <olectl.h>
#include <process.h>

#include <cstring>

namespace
{
const DWORD kStopWaitMilliseconds = 5000;
const DWORD kShortDelayMilliseconds = 100;
const int kHimetricPerInch = 2540;
// The surface starts in this system colour brush (COLOR_MENU + 1), before
// the first frame is drawn.
const HBRUSH kSurfaceStartBrush = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));

// A stream over a global memory block, decoded by the system's picture
// loader. Null when either step fails; the stream is released either way.
IPicture* DecodePicture(HGLOBAL block, DWORD size, BOOL streamOwnsBlock)
{
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, streamOwnsBlock, &stream)) || !stream)
    {
        if (streamOwnsBlock)
            ::GlobalFree(block);
        return nullptr;
    }
    IPicture* picture = nullptr;
    if (FAILED(::OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                reinterpret_cast<void**>(&picture))))
        picture = nullptr;
    stream->Release();
    return picture;
}

// Every picture is drawn whole, stretched into the destination rectangle.
HRESULT RenderPicture(IPicture* picture, HDC dc, int x, int y, int cx, int cy)
{
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    return picture->Render(dc, x, y, cx, cy, 0, height, width, -height, nullptr);
}

class SurfaceLock
{
public:
    explicit SurfaceLock(CRITICAL_SECTION& lock) : m_lock(lock) { ::EnterCriticalSection(&m_lock); }
    ~SurfaceLock() { ::LeaveCriticalSection(&m_lock); }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};

void FillWithColor(HDC dc, const RECT& area, COLORREF color)
{
    HBRUSH brush = ::CreateSolidBrush(color);
    if (!brush)
        return;
    ::FillRect(dc, &area, brush);
    ::DeleteObject(brush);
}
}

const MessageMap* CAnimatedPicture::ThisMessageMap()
{
    static const MessageMapEntry entries[] = {
        OnMessage<&CAnimatedPicture::OnPaint>(WM_PAINT),
        OnMessage<&CAnimatedPicture::OnDestroy>(WM_DESTROY),
    };
    static const MessageMap map(CStatic::ThisMessageMap(), entries);
    return &map;
}

CAnimatedPicture::CAnimatedPicture() : m_stopEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    ::InitializeCriticalSection(&m_surfaceLock);
}

CAnimatedPicture::~CAnimatedPicture()
{
    Clear();
    if (m_stopEvent)
        ::CloseHandle(m_stopEvent);
    ::DeleteCriticalSection(&m_surfaceLock);
}

BOOL CAnimatedPicture::LoadFromResource(LPCSTR name, LPCSTR type)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceA(module, name, type);
    if (!resource)
        return FALSE;
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (!loaded)
        return FALSE;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, size);
    if (!block)
        return FALSE;
    void* target = ::GlobalLock(block);
    const void* source = ::LockResource(loaded);
    if (!target || !source)
    {
        if (target)
            ::GlobalUnlock(block);
        ::GlobalFree(block);
        return FALSE;
    }
    std::memcpy(target, source, size);
    ::GlobalUnlock(block);

    const BOOL result = LoadFromMemory(block, size);
    ::GlobalFree(block);
    return result;
}

BOOL CAnimatedPicture::LoadFromMemory(HGLOBAL block, DWORD size)
{
    Clear();
    const BYTE* bytes = static_cast<const BYTE*>(::GlobalLock(block));
    if (!bytes)
        return FALSE;
    const bool gif = size >= 3 && std::memcmp(bytes, "GIF", 3) == 0;
    if (gif)
        return LoadGif(block, bytes, size);
    ::GlobalUnlock(block);
    return LoadStill(block, size);
}

BOOL CAnimatedPicture::LoadGif(HGLOBAL block, const BYTE* bytes, DWORD size)
{
    m_gifStream = TRUE;
    AttachStream(bytes, size);
    if (size >= 10)
        m_pixelSize = {bytes[6] | (bytes[7] << 8), bytes[8] | (bytes[9] << 8)};

    RewindToFirstBlock();
    int count = 0;
    while (SkipFrame())
        ++count;

    if (count == 0)
    {
        DetachStream();
        ::GlobalUnlock(block);
        return FALSE;
    }
    if (count == 1)
    {
        DetachStream();
        ::GlobalUnlock(block);
        m_stillPicture = DecodePicture(block, size, FALSE);
        return m_stillPicture ? CreateSurface(m_pixelSize.cx, m_pixelSize.cy) : FALSE;
    }

    RewindToFirstBlock();
    m_frames.reserve(static_cast<size_t>(count));
    for (;;)
    {
        // A frame whose graphic block is plain text has no image descriptor
        // to give its place: it covers the logical screen.
        GifFrame frame = {nullptr, m_pixelSize, {0, 0}, 0, 0};
        DWORD length = 0;
        HGLOBAL cut = CutNextFrame(length, frame.delay, frame.size, frame.offset, frame.disposal);
        if (!cut)
            break;
        frame.picture = DecodePicture(cut, length, TRUE);
        if (frame.picture)
            m_frames.push_back(frame);
    }
    DetachStream();
    ::GlobalUnlock(block);
    return m_frames.empty() ? FALSE : CreateSurface(m_pixelSize.cx, m_pixelSize.cy);
}

BOOL CAnimatedPicture::LoadStill(HGLOBAL block, DWORD size)
{
    m_stillPicture = DecodePicture(block, size, FALSE);
    if (!m_stillPicture)
        return FALSE;

    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    m_stillPicture->get_Width(&width);
    m_stillPicture->get_Height(&height);
    HDC windowDC = GetDC();
    const int cx = ::MulDiv(width, ::GetDeviceCaps(windowDC, LOGPIXELSX), kHimetricPerInch);
    const int cy = ::MulDiv(height, ::GetDeviceCaps(windowDC, LOGPIXELSY), kHimetricPerInch);
    ReleaseDC(windowDC);
    m_pixelSize = {cx, cy};
    return CreateSurface(cx, cy);
}

BOOL CAnimatedPicture::CreateSurface(int cx, int cy)
{
    SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER);

    HDC windowDC = GetDC();
    if (!windowDC)
        return FALSE;
    m_surfaceDC = ::CreateCompatibleDC(windowDC);
    if (!m_surfaceDC)
    {
        ReleaseDC(windowDC);
        return FALSE;
    }
    m_surfaceBitmap = ::CreateCompatibleBitmap(windowDC, cx, cy);
    if (!m_surfaceBitmap)
    {
        ReleaseDC(windowDC);
        ::DeleteDC(m_surfaceDC);
        m_surfaceDC = nullptr;
        return FALSE;
    }
    m_surfacePrevBitmap = ::SelectObject(m_surfaceDC, m_surfaceBitmap);
    m_fillColor = ::GetSysColor(COLOR_BTNFACE);
    const RECT whole = {0, 0, cx, cy};
    ::FillRect(m_surfaceDC, &whole, kSurfaceStartBrush);
    ReleaseDC(windowDC);
    m_surfaceReady = TRUE;
    return TRUE;
}

BOOL CAnimatedPicture::HasAnimation() const
{
    return m_gifStream && m_frames.size() > 1;
}

BOOL CAnimatedPicture::Show()
{
    if (!m_surfaceReady)
        return FALSE;
    if (HasAnimation())
    {
        if (m_threadHandle)
        {
            // Already playing: a second thread would race the first over the
            // frame index and the saved area, and waiting for the first would
            // never end, since it stops only when asked.
            if (!m_stopRequested)
                return FALSE;
            // A thread from an earlier play that outlived its stop still uses
            // the surface.
            WaitForAnimationThread();
        }
        unsigned threadId = 0;
        m_threadHandle = reinterpret_cast<HANDLE>(
            ::_beginthreadex(nullptr, 0, &CAnimatedPicture::AnimationThreadProc, this, CREATE_SUSPENDED, &threadId));
        if (m_threadHandle)
            ::ResumeThread(m_threadHandle);
        return FALSE;
    }
    if (!m_stillPicture)
        return FALSE;
    HRESULT rendered;
    {
        SurfaceLock lock(m_surfaceLock);
        rendered = RenderPicture(m_stillPicture, m_surfaceDC, 0, 0, m_pixelSize.cx, m_pixelSize.cy);
    }
    if (FAILED(rendered))
        return FALSE;
    InvalidateSurface();
    return TRUE;
}

unsigned __stdcall CAnimatedPicture::AnimationThreadProc(void* control)
{
    static_cast<CAnimatedPicture*>(control)->RunAnimation();
    return 0;
}

DWORD CAnimatedPicture::FrameTime(DWORD delay)
{
    // Unsigned throughout: the delay 0xFFFFFFFF of a frame without a graphic
    // control extension waits 0xFFFFFFF6 ms, until a stop.
    return delay < 5 ? kShortDelayMilliseconds : delay * 10;
}

void CAnimatedPicture::RunAnimation()
{
    DisposeCurrentFrame();
    while (!m_stopRequested)
    {
        const GifFrame& frame = m_frames[static_cast<size_t>(m_frameIndex)];
        HRESULT rendered;
        {
            SurfaceLock lock(m_surfaceLock);
            if (frame.disposal == 3)
                SaveAreaUnder(frame);
            rendered = RenderPicture(frame.picture, m_surfaceDC, frame.offset.x, frame.offset.y, frame.size.cx,
                                     frame.size.cy);
        }
        if (rendered == S_OK)
            InvalidateSurface();
        if (m_stopRequested)
            break;
        ::WaitForSingleObject(m_stopEvent, FrameTime(frame.delay));
        if (m_stopRequested)
            break;
        DisposeCurrentFrame();
        if (++m_frameIndex == static_cast<int>(m_frames.size()))
        {
            m_frameIndex = 0;
            SurfaceLock lock(m_surfaceLock);
            FillWithColor(m_surfaceDC, {0, 0, m_pixelSize.cx, m_pixelSize.cy}, m_fillColor);
        }
    }
}

void CAnimatedPicture::SaveAreaUnder(const GifFrame& frame)
{
    m_underDC = ::CreateCompatibleDC(m_surfaceDC);
    m_underBitmap = ::CreateCompatibleBitmap(m_surfaceDC, frame.size.cx, frame.size.cy);
    if (!m_underDC || !m_underBitmap)
    {
        ReleaseUnderArea();
        return;
    }
    m_underPrevBitmap = ::SelectObject(m_underDC, m_underBitmap);
    ::BitBlt(m_underDC, 0, 0, frame.size.cx, frame.size.cy, m_surfaceDC, frame.offset.x, frame.offset.y, SRCCOPY);
}

void CAnimatedPicture::ReleaseUnderArea()
{
    if (m_underDC && m_underBitmap && m_underPrevBitmap)
        ::SelectObject(m_underDC, m_underPrevBitmap);
    if (m_underDC)
        ::DeleteDC(m_underDC);
    if (m_underBitmap)
        ::DeleteObject(m_underBitmap);
    m_underDC = nullptr;
    m_underBitmap = nullptr;
}

void CAnimatedPicture::DisposeCurrentFrame()
{
    if (m_frames.empty())
        return;
    const GifFrame& frame = m_frames[static_cast<size_t>(m_frameIndex)];
    SurfaceLock lock(m_surfaceLock);
    if (frame.disposal == 2)
    {
        FillWithColor(m_surfaceDC,
                      {frame.offset.x, frame.offset.y, frame.offset.x + frame.size.cx, frame.offset.y + frame.size.cy},
                      m_fillColor);
    }
    else if (frame.disposal == 3 && m_underDC)
    {
        ::BitBlt(m_surfaceDC, frame.offset.x, frame.offset.y, frame.size.cx, frame.size.cy, m_underDC, 0, 0, SRCCOPY);
        ReleaseUnderArea();
    }
}

void CAnimatedPicture::InvalidateSurface() const
{
    // Without a window there is nothing to repaint; a null window would
    // invalidate every window on the desktop. The handle is read once: a
    // thread that outlived the stop in OnDestroy can still be here when
    // WM_NCDESTROY clears it on the user-interface thread.
    const HWND window = __atomic_load_n(&m_hWnd, __ATOMIC_RELAXED);
    if (window)
        ::InvalidateRect(window, nullptr, FALSE);
}

void CAnimatedPicture::StopAnimation()
{
    m_stopRequested = TRUE;
    ::SetEvent(m_stopEvent);
    if (m_threadHandle)
    {
        if (::WaitForSingleObject(m_threadHandle, kStopWaitMilliseconds) != WAIT_OBJECT_0)
        {
            // The thread still runs and may still draw: the stop request
            // stands, and whoever releases what it uses waits for it first.
            return;
        }
        ::CloseHandle(m_threadHandle);
        m_threadHandle = nullptr;
    }
    ::ResetEvent(m_stopEvent);
    m_stopRequested = FALSE;
}

void CAnimatedPicture::WaitForAnimationThread()
{
    if (!m_threadHandle)
        return;
    // Only a thread that outlived StopAnimation gets here. Its stop request
    // stands and it never waits on the user-interface thread, so it ends.
    ::WaitForSingleObject(m_threadHandle, INFINITE);
    ::CloseHandle(m_threadHandle);
    m_threadHandle = nullptr;
    ::ResetEvent(m_stopEvent);
    m_stopRequested = FALSE;
}

void CAnimatedPicture::Clear()
{
    StopAnimation();
    WaitForAnimationThread();

    if (m_stillPicture)
    {
        m_stillPicture->Release();
        m_stillPicture = nullptr;
    }
    for (GifFrame& frame : m_frames)
        frame.picture->Release();
    m_frames.clear();

    if (m_surfaceDC)
    {
        ::SelectObject(m_surfaceDC, m_surfacePrevBitmap);
        ::DeleteDC(m_surfaceDC);
        ::DeleteObject(m_surfaceBitmap);
        m_surfaceDC = nullptr;
        m_surfaceBitmap = nullptr;
    }
    if (m_underDC)
        ReleaseUnderArea();

    m_fillColor = RGB(255, 255, 255);
    m_frameIndex = 0;
    m_streamSize = 0;
    m_cursor = 0;
    m_colorTableBytes = 0;
    m_gifStream = FALSE;
    m_stopRequested = FALSE;
    m_surfaceReady = FALSE;
    m_bytes = nullptr;
}

void CAnimatedPicture::OnPaint()
{
    CPaintDC dc(this);
    SurfaceLock lock(m_surfaceLock);
    if (m_surfaceDC)
        ::BitBlt(dc, 0, 0, m_pixelSize.cx, m_pixelSize.cy, m_surfaceDC, 0, 0, SRCCOPY);
}

void CAnimatedPicture::OnDestroy()
{
    StopAnimation();
    CStatic::OnDestroy();
}
