#pragma once

#include "GifBuilder.h"
#include "HandleCount.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What the control's tests share: pictures built in memory, a window onto the
// control's protected parts, a picture that watches how the control uses it,
// a window to host the control in, and counts of the process's handles.

// ---------------------------------------------------------------------------
// Pictures in memory

// The four entries of the colour table that the test GIFs carry.
enum : BYTE { kRedIndex = 0, kGreenIndex = 1, kBlueIndex = 2, kYellowIndex = 3 };
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kYellow = RGB(255, 255, 0);

inline Bytes ColourHead(int width, int height, const char* version = "89a")
{
    Bytes head = {'G', 'I', 'F'};
    head.insert(head.end(), version, version + 3);
    return Cat({head, Word(width), Word(height), {0x81, 0, 0},
                {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0}});
}

// Image data that any decoder reads: code size 7, so that every code is one
// byte, and a clear code before the table would grow past 8-bit codes.
inline Bytes SolidImageData(int pixels, BYTE index)
{
    Bytes codes = {0x80};
    for (int i = 0, run = 0; i < pixels; ++i, ++run)
    {
        if (run == 125)
        {
            codes.push_back(0x80);
            run = 0;
        }
        codes.push_back(index);
    }
    codes.push_back(0x81);
    return Cat({{0x07}, SubBlocks(codes)});
}

inline Bytes SolidImage(int left, int top, int width, int height, BYTE index)
{
    return Cat({{0x2C}, Word(left), Word(top), Word(width), Word(height), {0x00},
                SolidImageData(width * height, index)});
}

// Image data whose first code after the clear code names an entry that does
// not exist yet: the system's decoder rejects it.
inline Bytes BrokenImage(int left, int top, int width, int height)
{
    return Cat({{0x2C}, Word(left), Word(top), Word(width), Word(height), {0x00}, {0x02, 0x02, 0x7C, 0x01, 0x00}});
}

inline Bytes Framed(int delay, int disposal, const Bytes& graphic)
{
    return Cat({GifControl(delay, static_cast<BYTE>(disposal << 2)), graphic});
}

// A 24-bit bottom-up bitmap file: red in the top left quadrant, blue elsewhere,
// so that both a flip and a mirror show.
inline Bytes Bitmap24(int width, int height)
{
    const int stride = (width * 3 + 3) & ~3;
    const int pixelBytes = stride * height;
    const auto dword = [](int v) {
        return Bytes{static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                     static_cast<BYTE>(v >> 24)};
    };
    Bytes file = Cat({{'B', 'M'}, dword(14 + 40 + pixelBytes), dword(0), dword(14 + 40),
                      dword(40), dword(width), dword(height), Word(1), Word(24), dword(BI_RGB), dword(pixelBytes),
                      dword(2835), dword(2835), dword(0), dword(0)});
    for (int row = height - 1; row >= 0; --row)
    {
        Bytes line;
        for (int x = 0; x < width; ++x)
        {
            const bool topLeft = x < width / 2 && row < height / 2;
            const COLORREF c = topLeft ? kRed : kBlue;
            line.insert(line.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
        }
        line.resize(static_cast<size_t>(stride), 0);
        file.insert(file.end(), line.begin(), line.end());
    }
    return file;
}

// ---------------------------------------------------------------------------
// Surfaces

struct Surface
{
    int cx = 0;
    int cy = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * cx + x)]; }
};

inline Surface Snapshot(HDC dc, SIZE size)
{
    Surface s;
    s.cx = size.cx;
    s.cy = size.cy;
    s.pixels.reserve(static_cast<size_t>(size.cx * size.cy));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            s.pixels.push_back(::GetPixel(dc, x, y));
    return s;
}

struct Area
{
    RECT rect;
    COLORREF colour;
};

// A surface of one colour with areas painted over it in order.
inline Surface Painted(SIZE size, COLORREF base, std::initializer_list<Area> areas = {})
{
    Surface s;
    s.cx = size.cx;
    s.cy = size.cy;
    s.pixels.assign(static_cast<size_t>(size.cx * size.cy), base);
    for (const Area& a : areas)
        for (int y = a.rect.top; y < a.rect.bottom; ++y)
            for (int x = a.rect.left; x < a.rect.right; ++x)
                s.pixels[static_cast<size_t>(y * size.cx + x)] = a.colour;
    return s;
}

inline ::testing::AssertionResult SameSurface(const Surface& expected, const Surface& actual)
{
    if (expected.cx != actual.cx || expected.cy != actual.cy)
        return ::testing::AssertionFailure() << "size " << actual.cx << "x" << actual.cy << ", expected "
                                             << expected.cx << "x" << expected.cy;
    int wrong = 0;
    std::string first;
    for (int y = 0; y < expected.cy; ++y)
        for (int x = 0; x < expected.cx; ++x)
            if (expected.At(x, y) != actual.At(x, y) && wrong++ == 0)
            {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) is %06lX, expected %06lX", x, y,
                              static_cast<unsigned long>(actual.At(x, y)),
                              static_cast<unsigned long>(expected.At(x, y)));
                first = text;
            }
    if (wrong == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ, first " << first;
}

// ---------------------------------------------------------------------------
// The control's protected parts

class PictureProbe : public CAnimatedPicture
{
public:
    using CAnimatedPicture::LoadFromMemory;
    using CAnimatedPicture::FrameTime;
    using CAnimatedPicture::m_pixelSize;
    using CAnimatedPicture::m_fillColor;
    using CAnimatedPicture::m_frameIndex;
    using CAnimatedPicture::m_gifStream;
    using CAnimatedPicture::m_stopRequested;
    using CAnimatedPicture::m_surfaceReady;
    using CAnimatedPicture::m_surfaceDC;
    using CAnimatedPicture::m_underDC;
    using CAnimatedPicture::m_underBitmap;
    using CAnimatedPicture::m_surfaceBitmap;
    using CAnimatedPicture::m_threadHandle;
    using CAnimatedPicture::m_stopEvent;
    using CAnimatedPicture::m_stillPicture;
    using CAnimatedPicture::m_bytes;
    using CAnimatedPicture::m_frames;
    using CAnimatedPicture::m_surfaceLock;

    // The stream in a movable block that lives for the call only, as the
    // control's contract asks.
    BOOL Load(const Bytes& stream)
    {
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, stream.size());
        if (!block)
            return FALSE;
        if (!stream.empty())
        {
            void* target = ::GlobalLock(block);
            std::memcpy(target, stream.data(), stream.size());
            ::GlobalUnlock(block);
        }
        const BOOL loaded = LoadFromMemory(block, static_cast<DWORD>(stream.size()));
        ::GlobalFree(block);
        return loaded;
    }

    BOOL LoadLogo() { return LoadFromResource(MAKEINTRESOURCEA(IDR_LOGO_GIF), "GIF"); }

    // The surface as it is between two drawing steps of the thread.
    Surface SurfaceNow()
    {
        ::EnterCriticalSection(&m_surfaceLock);
        Surface s = Snapshot(m_surfaceDC, m_pixelSize);
        ::LeaveCriticalSection(&m_surfaceLock);
        return s;
    }

    COLORREF SurfacePixel(int x, int y)
    {
        ::EnterCriticalSection(&m_surfaceLock);
        const COLORREF c = ::GetPixel(m_surfaceDC, x, y);
        ::LeaveCriticalSection(&m_surfaceLock);
        return c;
    }

    bool EventSignalled() const { return ::WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0; }

    // A handle of the test's own on the animation thread, which outlives the
    // control's.
    HANDLE DuplicateThread() const
    {
        HANDLE copy = nullptr;
        if (m_threadHandle)
            ::DuplicateHandle(::GetCurrentProcess(), m_threadHandle, ::GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS);
        return copy;
    }
};

// ---------------------------------------------------------------------------
// A picture that watches how the control draws and releases it

class RenderLog
{
public:
    struct Call
    {
        size_t frame;
        HRESULT result;
        double ms;      // since the log was made
        Surface before; // the surface as Render found it
        Surface after;
    };
    struct FinalRelease
    {
        size_t frame;
        bool threadHadEnded;
    };

    RenderLog() : m_rendered(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) { ::QueryPerformanceCounter(&m_start); }
    ~RenderLog()
    {
        ::CloseHandle(m_rendered);
        if (m_thread)
            ::CloseHandle(m_thread);
    }
    RenderLog(const RenderLog&) = delete;
    RenderLog& operator=(const RenderLog&) = delete;

    // Surfaces of this size are recorded around each Render; none without.
    void Snapshots(SIZE size) { m_snapshotSize = size; }
    // The log owns the handle; final releases note whether the thread ended.
    void WatchThread(HANDLE thread)
    {
        if (m_thread)
            ::CloseHandle(m_thread);
        m_thread = thread;
    }
    // After this many renders in all, the loop is asked to end, at the very
    // point where StopAnimation's request would be seen after drawing.
    void StopAfter(size_t renders, std::atomic<BOOL>* flag)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stopAfter = renders;
        m_stopFlag = flag;
    }

    bool WaitForRenders(size_t count, DWORD timeoutMs)
    {
        const DWORD start = ::GetTickCount();
        for (;;)
        {
            if (Renders() >= count)
                return true;
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= timeoutMs)
                return false;
            ::MsgWaitForMultipleObjects(1, &m_rendered, FALSE, timeoutMs - spent, QS_ALLINPUT);
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }

    size_t Renders()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_calls.size();
    }
    std::vector<Call> Calls()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_calls;
    }
    std::vector<FinalRelease> Releases()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_releases;
    }

    SIZE SnapshotSize() const { return m_snapshotSize; }

    void Record(Call call)
    {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        call.ms = 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(frequency.QuadPart);
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_calls.push_back(std::move(call));
            if (m_stopFlag && m_calls.size() == m_stopAfter)
                *m_stopFlag = TRUE;
        }
        ::SetEvent(m_rendered);
    }

    void Released(size_t frame)
    {
        const bool ended = m_thread && ::WaitForSingleObject(m_thread, 0) == WAIT_OBJECT_0;
        std::lock_guard<std::mutex> guard(m_mutex);
        m_releases.push_back({frame, ended});
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::vector<FinalRelease> m_releases;
    HANDLE m_rendered;
    HANDLE m_thread = nullptr;
    SIZE m_snapshotSize = {0, 0};
    size_t m_stopAfter = 0;
    std::atomic<BOOL>* m_stopFlag = nullptr;
    LARGE_INTEGER m_start;
};

// Stands in for a decoded picture and hands every call to it; Render and the
// final Release are noted in the log.
class WatchedPicture : public IPicture
{
public:
    WatchedPicture(IPicture* inner, size_t frame, RenderLog& log) : m_inner(inner), m_frame(frame), m_log(log) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IPicture)
        {
            *object = static_cast<IPicture*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const long left = --m_refs;
        if (left == 0)
        {
            m_log.Released(m_frame);
            m_inner->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE* handle) override { return m_inner->get_Handle(handle); }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE* palette) override { return m_inner->get_hPal(palette); }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT* type) override { return m_inner->get_Type(type); }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC* width) override { return m_inner->get_Width(width); }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC* height) override { return m_inner->get_Height(height); }
    HRESULT STDMETHODCALLTYPE Render(HDC dc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc,
                                     OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                                     LPCRECT bounds) override
    {
        RenderLog::Call call{m_frame, S_OK, 0.0, {}, {}};
        const SIZE size = m_log.SnapshotSize();
        if (size.cx > 0)
            call.before = Snapshot(dc, size);
        call.result = m_inner->Render(dc, x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc, bounds);
        if (size.cx > 0)
            call.after = Snapshot(dc, size);
        const HRESULT result = call.result;
        m_log.Record(std::move(call));
        return result;
    }
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE palette) override { return m_inner->set_hPal(palette); }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC* dc) override { return m_inner->get_CurDC(dc); }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC dcIn, HDC* dcOut, OLE_HANDLE* bitmapOut) override
    {
        return m_inner->SelectPicture(dcIn, dcOut, bitmapOut);
    }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(WINBOOL* keep) override
    {
        return m_inner->get_KeepOriginalFormat(keep);
    }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(WINBOOL keep) override
    {
        return m_inner->put_KeepOriginalFormat(keep);
    }
    HRESULT STDMETHODCALLTYPE PictureChanged() override { return m_inner->PictureChanged(); }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM stream, WINBOOL saveMemCopy, LONG* size) override
    {
        return m_inner->SaveAsFile(stream, saveMemCopy, size);
    }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD* attributes) override
    {
        return m_inner->get_Attributes(attributes);
    }

private:
    virtual ~WatchedPicture() = default;

    std::atomic<long> m_refs{1};
    IPicture* m_inner;
    size_t m_frame;
    RenderLog& m_log;
};

// Puts a watcher in front of every decoded frame; each takes over the
// control's reference, so the control's release is the final one.
inline void WatchFrames(PictureProbe& control, RenderLog& log)
{
    for (size_t i = 0; i < control.m_frames.size(); ++i)
        control.m_frames[i].picture = new WatchedPicture(control.m_frames[i].picture, i, log);
}

// ---------------------------------------------------------------------------
// A window for the control

inline void PumpMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        PumpMessages();
        if (done())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// A top-level window filled with kHostColour and, inside it, a "Static"
// child like the dialog's logo control (SS_BLACKRECT, 20 x 20 at 10, 10),
// subclassed by the control.
const COLORREF kHostColour = RGB(0, 128, 128);

class HostWindow
{
public:
    explicit HostWindow(CWnd& control)
    {
        static const ATOM windowClass = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.hbrBackground = ::CreateSolidBrush(kHostColour);
            wc.lpszClassName = "QueltPictureHost";
            return ::RegisterClassA(&wc);
        }();
        (void)windowClass;
        parent = ::CreateWindowExA(0, "QueltPictureHost", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 150, nullptr,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
        child = ::CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 10, 10, 20, 20, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LOGO)),
                                  ::GetModuleHandleA(nullptr), nullptr);
        subclassed = control.SubclassWindow(child);
        PumpFor(50);
    }
    ~HostWindow()
    {
        if (::IsWindow(parent))
            ::DestroyWindow(parent);
        PumpMessages();
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // The child's rectangle in the parent's client coordinates.
    RECT ChildRect() const
    {
        RECT r;
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // Repaints everything now: the parent fills its client area, then the
    // child paints over it.
    void Repaint() const
    {
        ::RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages();
    }

    // What the screen shows at a point of the child.
    COLORREF ScreenPixel(int x, int y) const
    {
        HDC dc = ::GetDC(child);
        const COLORREF c = ::GetPixel(dc, x, y);
        ::ReleaseDC(child, dc);
        return c;
    }

    HWND parent = nullptr;
    HWND child = nullptr;
    BOOL subclassed = FALSE;
};

// ---------------------------------------------------------------------------
// Counts of what the process holds

inline long CountOwnThreads()
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    long own = 0;
    if (::Thread32First(snapshot, &entry))
        do
        {
            if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
                ++own;
        } while (::Thread32Next(snapshot, &entry));
    ::CloseHandle(snapshot);
    return own;
}
