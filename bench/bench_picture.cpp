// Times the picture control: what playing the logo costs, how fast a stop
// ends a frame's wait, and what a load costs, for the logo and for a large
// generated GIF and half of it.
//
//   bench_picture      prints "name: value" lines
//
//   idle_cpu_percent    the process's CPU time over wall time, in percent of
//                       one core, with the logo loaded in a shown window but
//                       not playing: what the message loop and Wine cost
//   play_cpu_percent    the same while the logo plays (goal: at most 0.2)
//   play_frames         frames painted meanwhile
//   play_cpu_ms_per_frame  the CPU time of playing over the frames painted
//   paint_cpu_ms        CPU time of one paint of the control
//   paint_floor_cpu_ms  the same for a window of its size that draws nothing:
//                       what the platform's paint cycle costs by itself
//   render_cpu_ms       CPU time of one IPicture::Render of a logo frame
//   stop_latency_ms     StopAnimation while the thread rests on a frame
//                       without a graphic control extension, median (goal: at
//                       most 20)
//   stop_latency_max_ms the slowest of those stops
//   load_ms_logo        LoadFromResource of the logo, median
//   cut_ms_logo         counting and cutting the logo's frames, median
//   cut_share_percent   cut_ms_logo over load_ms_logo (goal: at most 2)
//   large_mb, large_frames, load_ms_large    the large GIF and its load, median
//   half_mb, half_frames, load_ms_half       its first half
//   load_ms_per_mb      load_ms_large over large_mb
//   load_ms_per_mb_half load_ms_half over half_mb
//   load_per_mb_ratio   the two per-megabyte figures over each other: 1.0
//                       when loading grows in proportion to the stream
//
// Under Wine the process's CPU times advance in steps of 10 ms, so the CPU
// percentages over 10 s resolve to 0.1; the wineserver's share of the work
// (waits, window updates) is not in them either.

#include "CAnimatedPicture.h"
#include "NowMs.h"
#include "resource.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
using Bytes = std::vector<BYTE>;

const DWORD kPlayMs = 10000;
const int kStopRounds = 15;
const int kPaints = 1000;
const int kLogoLoads = 200;
const int kLargeLoads = 7;
const int kLargeFrames = 240;
const int kLargeSide = 96;

double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Print(const char* name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

class BenchPicture : public CAnimatedPicture
{
public:
    using CAnimatedPicture::LoadFromMemory;
    using CAnimatedPicture::AttachStream;
    using CAnimatedPicture::DetachStream;
    using CAnimatedPicture::RewindToFirstBlock;
    using CAnimatedPicture::SkipFrame;
    using CAnimatedPicture::CutNextFrame;
    using CAnimatedPicture::m_surfaceDC;
    using CAnimatedPicture::m_surfaceLock;
    using CAnimatedPicture::m_frames;

    COLORREF SurfacePixel(int x, int y)
    {
        ::EnterCriticalSection(&m_surfaceLock);
        const COLORREF c = ::GetPixel(m_surfaceDC, x, y);
        ::LeaveCriticalSection(&m_surfaceLock);
        return c;
    }
};

// A stream in a movable block, as the control takes it.
class Block
{
public:
    explicit Block(const Bytes& bytes) : m_size(static_cast<DWORD>(bytes.size()))
    {
        m_block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(::GlobalLock(m_block), bytes.data(), bytes.size());
        ::GlobalUnlock(m_block);
    }
    ~Block() { ::GlobalFree(m_block); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    HGLOBAL handle() const { return m_block; }
    DWORD size() const { return m_size; }

private:
    HGLOBAL m_block;
    DWORD m_size;
};

void Append(Bytes& to, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        to.push_back(static_cast<BYTE>(b));
}

void AppendWord(Bytes& to, int value)
{
    Append(to, {value & 0xFF, (value >> 8) & 0xFF});
}

// Header and a global colour table of 128 entries.
Bytes Head(int width, int height)
{
    Bytes head = {'G', 'I', 'F', '8', '9', 'a'};
    AppendWord(head, width);
    AppendWord(head, height);
    Append(head, {0x86, 0, 0});
    for (int i = 0; i < 128; ++i)
        Append(head, {i * 2, 255 - i * 2, (i * 5) & 0xFF});
    return head;
}

// One frame whose image data is stored without compression: code size 7, so
// that every code is one byte, and a clear code at least every 125 literals,
// before the code table would outgrow 8-bit codes.
// Without a delay the frame has no graphic control extension.
void AppendFrame(Bytes& gif, const int* delay, int left, int top, int width, int height, int seed)
{
    if (delay)
    {
        Append(gif, {0x21, 0xF9, 0x04, 1 << 2});
        AppendWord(gif, *delay);
        Append(gif, {0, 0});
    }
    gif.push_back(0x2C);
    AppendWord(gif, left);
    AppendWord(gif, top);
    AppendWord(gif, width);
    AppendWord(gif, height);
    Append(gif, {0x00, 0x07});
    Bytes codes = {0x80};
    int run = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            if (run == 125)
            {
                codes.push_back(0x80);
                run = 0;
            }
            codes.push_back(static_cast<BYTE>((x + y + seed) & 0x7F));
            ++run;
        }
    codes.push_back(0x81);
    for (size_t at = 0; at < codes.size(); at += 255)
    {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        gif.push_back(static_cast<BYTE>(n));
        gif.insert(gif.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                   codes.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    gif.push_back(0x00);
}

Bytes LargeGif(int frames)
{
    Bytes gif = Head(kLargeSide, kLargeSide);
    const int delay = 4;
    for (int i = 0; i < frames; ++i)
        AppendFrame(gif, &delay, 0, 0, kLargeSide, kLargeSide, i);
    gif.push_back(0x3B);
    return gif;
}

// The first frame has no graphic control extension: the thread rests on it
// until stopped.
Bytes RestingGif()
{
    Bytes gif = Head(8, 8);
    const int delay = 5;
    AppendFrame(gif, nullptr, 0, 0, 8, 8, 0);
    AppendFrame(gif, &delay, 0, 0, 8, 8, 1);
    gif.push_back(0x3B);
    return gif;
}

void Pump(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= ms)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    }
}

double CpuPercentWhilePumping(DWORD ms)
{
    const double cpu0 = ProcessCpuMs();
    const double wall0 = NowMs();
    Pump(ms);
    return 100.0 * (ProcessCpuMs() - cpu0) / (NowMs() - wall0);
}

// Counts the frames that reach the screen.
class CountingPicture : public BenchPicture
{
public:
    long paints = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAINT)
            ++paints;
        return BenchPicture::WindowProc(message, wParam, lParam);
    }
};

void BenchPlaying()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "QueltBenchHost";
    ::RegisterClassA(&wc);
    HWND parent = ::CreateWindowExA(0, "QueltBenchHost", "bench", WS_POPUP | WS_VISIBLE, 100, 100, 200, 150, nullptr,
                                    nullptr, ::GetModuleHandleA(nullptr), nullptr);
    HWND child = ::CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 10, 10, 20, 20, parent,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
    CountingPicture logo;
    logo.SubclassWindow(child);
    logo.LoadFromResource(MAKEINTRESOURCEA(IDR_LOGO_GIF), "GIF");
    Pump(500);

    Print("idle_cpu_percent", CpuPercentWhilePumping(kPlayMs));
    logo.paints = 0;
    logo.Show();
    const double cpu0 = ProcessCpuMs();
    const double playPercent = CpuPercentWhilePumping(kPlayMs);
    const double playCpuMs = ProcessCpuMs() - cpu0;
    logo.StopAnimation();
    Print("play_cpu_percent", playPercent);
    Print("play_frames", static_cast<double>(logo.paints));
    Print("play_cpu_ms_per_frame", playCpuMs / static_cast<double>(std::max(1L, logo.paints)));

    // Where a frame's time goes: one paint of the control, one paint of a
    // window of the same size that draws nothing (what Wine's paint cycle
    // costs by itself), and one IPicture::Render of a logo frame.
    HWND empty = ::CreateWindowExA(0, "QueltBenchHost", "", WS_CHILD | WS_VISIBLE, 100, 10, 64, 64, parent, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    const auto paintCpuMs = [](HWND window) {
        const double start = ProcessCpuMs();
        for (int i = 0; i < kPaints; ++i)
        {
            ::InvalidateRect(window, nullptr, FALSE);
            ::UpdateWindow(window);
        }
        return (ProcessCpuMs() - start) / kPaints;
    };
    Print("paint_cpu_ms", paintCpuMs(child));
    Print("paint_floor_cpu_ms", paintCpuMs(empty));
    IPicture* frame = logo.m_frames[0].picture;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    frame->get_Width(&width);
    frame->get_Height(&height);
    const double start = ProcessCpuMs();
    for (int i = 0; i < kPaints; ++i)
        frame->Render(logo.m_surfaceDC, 0, 0, 64, 64, 0, height, width, -height, nullptr);
    Print("render_cpu_ms", (ProcessCpuMs() - start) / kPaints);

    ::DestroyWindow(parent);
    Pump(100);
}

void BenchStop()
{
    const Bytes gif = RestingGif();
    const Block block(gif);
    BenchPicture control;
    std::vector<double> latencies;
    for (int round = 0; round < kStopRounds; ++round)
    {
        control.LoadFromMemory(block.handle(), block.size());
        const COLORREF start = control.SurfacePixel(0, 0);
        control.Show();
        const DWORD begun = ::GetTickCount();
        while (control.SurfacePixel(0, 0) == start && ::GetTickCount() - begun < 5000)
            ::Sleep(1);
        // Well inside the frame's wait by now.
        ::Sleep(30);
        const double t0 = NowMs();
        control.StopAnimation();
        latencies.push_back(NowMs() - t0);
    }
    Print("stop_latency_ms", Median(latencies));
    Print("stop_latency_max_ms", *std::max_element(latencies.begin(), latencies.end()));
}

// Counts the frames and cuts them all, as a load does before decoding.
double CutMs(BenchPicture& reader, const BYTE* bytes, DWORD size)
{
    const double t0 = NowMs();
    reader.AttachStream(bytes, size);
    reader.RewindToFirstBlock();
    int count = 0;
    while (reader.SkipFrame())
        ++count;
    reader.RewindToFirstBlock();
    for (;;)
    {
        DWORD length = 0, delay = 0, disposal = 0;
        SIZE frameSize = {0, 0};
        POINT offset = {0, 0};
        HGLOBAL cut = reader.CutNextFrame(length, delay, frameSize, offset, disposal);
        if (!cut)
            break;
        ::GlobalFree(cut);
    }
    reader.DetachStream();
    return NowMs() - t0;
}

void BenchLogoLoad()
{
    BenchPicture control;
    std::vector<double> loads;
    for (int i = 0; i < kLogoLoads; ++i)
    {
        const double t0 = NowMs();
        control.LoadFromResource(MAKEINTRESOURCEA(IDR_LOGO_GIF), "GIF");
        loads.push_back(NowMs() - t0);
    }
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(IDR_LOGO_GIF), "GIF");
    const BYTE* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    const DWORD size = ::SizeofResource(module, found);
    BenchPicture reader;
    std::vector<double> cuts;
    for (int i = 0; i < kLogoLoads * 10; ++i)
        cuts.push_back(CutMs(reader, bytes, size));

    const double load = Median(loads);
    const double cut = Median(cuts);
    Print("load_ms_logo", load);
    Print("cut_ms_logo", cut);
    Print("cut_share_percent", 100.0 * cut / load);
}

void BenchLargeLoad()
{
    const Bytes large = LargeGif(kLargeFrames);
    const Bytes half = LargeGif(kLargeFrames / 2);
    const Block largeBlock(large);
    const Block halfBlock(half);
    BenchPicture largeControl;
    BenchPicture halfControl;
    // Rounds alternate between the two sizes, so that drift on a shared
    // machine hits both alike; the first round only warms up.
    std::vector<double> largeMs, halfMs;
    for (int round = 0; round <= kLargeLoads; ++round)
    {
        for (int which = 0; which < 2; ++which)
        {
            BenchPicture& control = which ? largeControl : halfControl;
            const Block& block = which ? largeBlock : halfBlock;
            const int frames = which ? kLargeFrames : kLargeFrames / 2;
            const double t0 = NowMs();
            const BOOL loaded = control.LoadFromMemory(block.handle(), block.size());
            const double ms = NowMs() - t0;
            if (!loaded || static_cast<int>(control.m_frames.size()) != frames)
                std::fprintf(stderr, "the generated GIF loaded %d of %d frames\n",
                             static_cast<int>(control.m_frames.size()), frames);
            if (round > 0)
                (which ? largeMs : halfMs).push_back(ms);
        }
    }
    const double largeMb = static_cast<double>(large.size()) / (1024.0 * 1024.0);
    const double halfMb = static_cast<double>(half.size()) / (1024.0 * 1024.0);
    const double largeMedian = Median(largeMs);
    const double halfMedian = Median(halfMs);
    Print("large_mb", largeMb);
    Print("large_frames", kLargeFrames);
    Print("load_ms_large", largeMedian);
    Print("half_mb", halfMb);
    Print("half_frames", kLargeFrames / 2);
    Print("load_ms_half", halfMedian);
    Print("load_ms_per_mb", largeMedian / largeMb);
    Print("load_ms_per_mb_half", halfMedian / halfMb);
    Print("load_per_mb_ratio", (largeMedian / largeMb) / (halfMedian / halfMb));
}
}

int main()
{
    // As the program does on start-up: the picture services need OLE.
    ::OleInitialize(nullptr);
    BenchPlaying();
    BenchStop();
    BenchLogoLoad();
    BenchLargeLoad();
    ::OleUninitialize();
    return 0;
}
