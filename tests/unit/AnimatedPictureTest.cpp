#include "PictureProbe.h"

#include <gtest/gtest.h>

#include <ole2.h>
#include <process.h>

#include <cstring>
#include <memory>

// The control part of CAnimatedPicture under Wine: loading, the surface,
// the animation thread, painting and what it all holds.

namespace
{
const DWORD kTimeoutMs = 10000;

class AnimatedPictureTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override { ::OleUninitialize(); }
};

SIZE Size(int cx, int cy)
{
    SIZE s = {cx, cy};
    return s;
}

// Four frames over a red screen: a green frame that is put back (disposal 3),
// a blue one whose area is filled afterwards (disposal 2) and a yellow one
// that stays (disposal 0).
Bytes DisposalGif()
{
    return Cat({ColourHead(16, 16), GifApplication(),
                Framed(5, 1, SolidImage(0, 0, 16, 16, kRedIndex)),
                Framed(5, 3, SolidImage(4, 4, 8, 8, kGreenIndex)),
                Framed(5, 2, SolidImage(2, 8, 6, 6, kBlueIndex)),
                Framed(5, 0, SolidImage(10, 1, 4, 4, kYellowIndex)),
                GifTrailer()});
}

// The first frame has no graphic control extension: it rests until a stop.
Bytes RestingGif()
{
    return Cat({ColourHead(8, 8), SolidImage(0, 0, 8, 8, kRedIndex), Framed(5, 0, SolidImage(0, 0, 8, 8, kGreenIndex)),
                GifTrailer()});
}

Bytes StillGif()
{
    return Cat({ColourHead(8, 8), Framed(5, 0, SolidImage(0, 0, 8, 8, kBlueIndex)), GifTrailer()});
}

bool Ended(HANDLE thread)
{
    return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

// Runs a rescue on a thread of its own unless it is destroyed first.
class Watchdog
{
public:
    Watchdog(DWORD ms, std::function<void()> rescue)
        : m_ms(ms), m_rescue(std::move(rescue)), m_done(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        m_thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &Watchdog::Run, this, 0, nullptr));
    }
    ~Watchdog()
    {
        ::SetEvent(m_done);
        ::WaitForSingleObject(m_thread, kTimeoutMs);
        ::CloseHandle(m_thread);
        ::CloseHandle(m_done);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static unsigned __stdcall Run(void* self)
    {
        Watchdog& dog = *static_cast<Watchdog*>(self);
        if (::WaitForSingleObject(dog.m_done, dog.m_ms) == WAIT_TIMEOUT)
            dog.m_rescue();
        return 0;
    }

    DWORD m_ms;
    std::function<void()> m_rescue;
    HANDLE m_done;
    HANDLE m_thread;
};

// Holds the surface lock on a thread of its own from construction until the
// delay given to ReleaseAfter has passed, so that the animation thread
// blocks on its next drawing step.
class SurfaceLockHolder
{
public:
    explicit SurfaceLockHolder(CRITICAL_SECTION& lock)
        : m_lock(lock), m_held(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_armed(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        m_thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &SurfaceLockHolder::Run, this, 0, nullptr));
        ::WaitForSingleObject(m_held, kTimeoutMs);
    }
    ~SurfaceLockHolder()
    {
        ReleaseAfter(0);
        ::WaitForSingleObject(m_thread, 60000);
        ::CloseHandle(m_thread);
        ::CloseHandle(m_held);
        ::CloseHandle(m_armed);
    }
    SurfaceLockHolder(const SurfaceLockHolder&) = delete;
    SurfaceLockHolder& operator=(const SurfaceLockHolder&) = delete;

    void ReleaseAfter(DWORD ms)
    {
        if (::WaitForSingleObject(m_armed, 0) == WAIT_OBJECT_0)
            return;
        m_delayMs = ms;
        ::SetEvent(m_armed);
    }

private:
    static unsigned __stdcall Run(void* self)
    {
        SurfaceLockHolder& holder = *static_cast<SurfaceLockHolder*>(self);
        ::EnterCriticalSection(&holder.m_lock);
        ::SetEvent(holder.m_held);
        // Released at the latest after a minute, so a failing test cannot
        // hang the run.
        ::WaitForSingleObject(holder.m_armed, 60000);
        ::Sleep(holder.m_delayMs);
        ::LeaveCriticalSection(&holder.m_lock);
        return 0;
    }

    CRITICAL_SECTION& m_lock;
    HANDLE m_held;
    HANDLE m_armed;
    HANDLE m_thread = nullptr;
    volatile DWORD m_delayMs = 0;
};
}

TEST_F(AnimatedPictureTest, LogoFromTheResourceSizesTheWindowAndPlaysItsEightFrames)
{
    // The log outlives the control, whose destructor releases the watched
    // pictures.
    RenderLog log;
    PictureProbe control;
    HostWindow host(control);
    ASSERT_TRUE(host.subclassed);
    const RECT placed = host.ChildRect();

    ASSERT_TRUE(control.LoadLogo());
    const RECT loaded = host.ChildRect();
    EXPECT_EQ(placed.left, loaded.left);
    EXPECT_EQ(placed.top, loaded.top);
    EXPECT_EQ(64, loaded.right - loaded.left);
    EXPECT_EQ(64, loaded.bottom - loaded.top);
    EXPECT_EQ(64, control.m_pixelSize.cx);
    EXPECT_EQ(64, control.m_pixelSize.cy);
    EXPECT_TRUE(control.m_gifStream);
    EXPECT_TRUE(control.m_surfaceReady);
    EXPECT_EQ(nullptr, control.m_stillPicture);
    EXPECT_EQ(nullptr, control.m_bytes);
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), control.m_fillColor);

    const DWORD delays[] = {20, 20, 20, 5, 25, 15, 30, 20};
    ASSERT_EQ(8u, control.m_frames.size());
    for (size_t i = 0; i < 8; ++i)
    {
        const GifFrame& f = control.m_frames[i];
        SCOPED_TRACE(i);
        EXPECT_NE(nullptr, f.picture);
        EXPECT_EQ(delays[i], f.delay);
        EXPECT_EQ(2u, f.disposal);
        EXPECT_EQ(64, f.size.cx);
        EXPECT_EQ(64, f.size.cy);
        EXPECT_EQ(0, f.offset.x);
        EXPECT_EQ(0, f.offset.y);
    }
    EXPECT_TRUE(control.HasAnimation());
    EXPECT_TRUE(SameSurface(Painted(Size(64, 64), ::GetSysColor(COLOR_MENU)), control.SurfaceNow()));

    // A resource that cannot be found leaves what was loaded alone.
    EXPECT_FALSE(control.LoadFromResource(MAKEINTRESOURCEA(999), "GIF"));
    EXPECT_FALSE(control.LoadFromResource(MAKEINTRESOURCEA(IDR_LOGO_GIF), "PNG"));
    EXPECT_EQ(8u, control.m_frames.size());
    EXPECT_TRUE(control.m_surfaceReady);

    log.Snapshots(control.m_pixelSize);
    WatchFrames(control, log);
    EXPECT_FALSE(control.Show());
    ASSERT_NE(nullptr, control.m_threadHandle);
    // Asked again while it plays, Show neither starts a second thread nor
    // waits for the first, which ends only when stopped.
    const HANDLE thread = control.m_threadHandle;
    bool waitedForTheThread = false;
    {
        // Should Show wait after all, the thread is asked to end after a
        // while, so that the test fails instead of hanging.
        Watchdog watchdog(3000, [&] {
            waitedForTheThread = true;
            control.m_stopRequested = TRUE;
            ::SetEvent(control.m_stopEvent);
        });
        EXPECT_FALSE(control.Show());
    }
    ASSERT_FALSE(waitedForTheThread);
    EXPECT_EQ(thread, control.m_threadHandle);

    ASSERT_TRUE(log.WaitForRenders(9, kTimeoutMs));
    control.StopAnimation();
    EXPECT_EQ(nullptr, control.m_threadHandle);

    // Every frame covers the screen and is filled away after its wait; the
    // first is filled before it is drawn, too.
    const Surface filled = Painted(control.m_pixelSize, ::GetSysColor(COLOR_BTNFACE));
    const std::vector<RenderLog::Call> calls = log.Calls();
    for (size_t k = 0; k < 9; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_EQ(k % 8, calls[k].frame);
        EXPECT_EQ(S_OK, calls[k].result);
        EXPECT_TRUE(SameSurface(filled, calls[k].before));
        // A frame stays at least its time; waits never end early unless
        // stopped (a few milliseconds of timer granularity allowed).
        if (k > 0)
        {
            EXPECT_GE(calls[k].ms - calls[k - 1].ms, PictureProbe::FrameTime(delays[k - 1]) - 5.0);
        }
    }
}

TEST_F(AnimatedPictureTest, OneFrameGifIsAStillPictureSizedByItsLogicalScreen)
{
    // The frame is smaller than the logical screen: the size comes from the
    // screen, not from the decoded picture.
    const Bytes gif = Cat({ColourHead(16, 12), Framed(5, 0, SolidImage(0, 0, 8, 6, kGreenIndex)), GifTrailer()});
    PictureProbe control;
    HostWindow host(control);
    ASSERT_TRUE(control.Load(gif));
    EXPECT_TRUE(control.m_gifStream);
    EXPECT_NE(nullptr, control.m_stillPicture);
    EXPECT_TRUE(control.m_frames.empty());
    EXPECT_FALSE(control.HasAnimation());
    EXPECT_EQ(16, control.m_pixelSize.cx);
    EXPECT_EQ(12, control.m_pixelSize.cy);
    const RECT r = host.ChildRect();
    EXPECT_EQ(16, r.right - r.left);
    EXPECT_EQ(12, r.bottom - r.top);
    EXPECT_TRUE(SameSurface(Painted(Size(16, 12), ::GetSysColor(COLOR_MENU)), control.SurfaceNow()));

    const long threads = CountOwnThreads();
    EXPECT_TRUE(control.Show());
    EXPECT_EQ(nullptr, control.m_threadHandle);
    EXPECT_EQ(threads, CountOwnThreads());
    EXPECT_EQ(kGreen, control.SurfacePixel(0, 0));
    // Painting copies the surface to the screen.
    EXPECT_TRUE(PumpUntil([&] { return host.ScreenPixel(0, 0) == kGreen; }, kTimeoutMs));
}

TEST_F(AnimatedPictureTest, BitmapIsDrawnOnceAtItsOwnSize)
{
    struct Case { int width; int height; };
    const Case cases[] = {{20, 10}, {96, 48}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.width);
        PictureProbe control;
        HostWindow host(control);
        ASSERT_TRUE(control.Load(Bitmap24(c.width, c.height)));
        EXPECT_FALSE(control.m_gifStream);
        EXPECT_TRUE(control.m_frames.empty());
        ASSERT_NE(nullptr, control.m_stillPicture);

        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        control.m_stillPicture->get_Width(&hmWidth);
        control.m_stillPicture->get_Height(&hmHeight);
        HDC dc = ::GetDC(host.child);
        const int dpiX = ::GetDeviceCaps(dc, LOGPIXELSX);
        const int dpiY = ::GetDeviceCaps(dc, LOGPIXELSY);
        ::ReleaseDC(host.child, dc);
        EXPECT_EQ(::MulDiv(hmWidth, dpiX, 2540), control.m_pixelSize.cx);
        EXPECT_EQ(::MulDiv(hmHeight, dpiY, 2540), control.m_pixelSize.cy);
        // At 96 pixels to the inch (Wine's default) the picture comes back
        // at its own size; 96 pixels are 2540 HIMETRIC units.
        if (dpiX == 96 && dpiY == 96)
        {
            EXPECT_EQ(c.width, control.m_pixelSize.cx);
            EXPECT_EQ(c.height, control.m_pixelSize.cy);
            EXPECT_EQ(c.width == 96, hmWidth == 2540);
        }
        const RECT r = host.ChildRect();
        EXPECT_EQ(control.m_pixelSize.cx, r.right - r.left);
        EXPECT_EQ(control.m_pixelSize.cy, r.bottom - r.top);

        EXPECT_TRUE(control.Show());
        EXPECT_EQ(nullptr, control.m_threadHandle);
        EXPECT_TRUE(SameSurface(Painted(control.m_pixelSize, kBlue,
                                        {{{0, 0, control.m_pixelSize.cx / 2, control.m_pixelSize.cy / 2}, kRed}}),
                                control.SurfaceNow()));
    }
}

TEST_F(AnimatedPictureTest, StreamsThatLoadNothingLeaveNoPictureAndNoSurface)
{
    const Bytes broken = Framed(5, 0, BrokenImage(0, 0, 2, 2));
    struct Case { const char* what; Bytes stream; };
    const Case cases[] = {
        {"not a picture", Bytes(64, 'x')},
        {"empty block, which cannot be locked", {}},
        {"two bytes of a GIF", {'G', 'I'}},
        {"GIF header and logical screen only", ColourHead(8, 8)},
        {"GIF with its trailer only", Cat({ColourHead(8, 8), GifTrailer()})},
        {"GIF shorter than its colour table", Prefix(ColourHead(8, 8), 15)},
        {"GIF whose one frame does not decode", Cat({ColourHead(8, 8), broken, GifTrailer()})},
        {"GIF whose two frames do not decode", Cat({ColourHead(8, 8), broken, broken, GifTrailer()})},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        PictureProbe control;
        // Whatever was loaded before is gone, even though the load fails.
        ASSERT_TRUE(control.Load(StillGif()));
        const HDC oldSurface = control.m_surfaceDC;
        const HBITMAP oldBitmap = control.m_surfaceBitmap;

        EXPECT_FALSE(control.Load(c.stream));
        EXPECT_FALSE(control.m_surfaceReady);
        EXPECT_EQ(nullptr, control.m_surfaceDC);
        EXPECT_EQ(nullptr, control.m_stillPicture);
        EXPECT_TRUE(control.m_frames.empty());
        EXPECT_EQ(nullptr, control.m_bytes);
        EXPECT_EQ(0u, ::GetObjectType(oldSurface));
        EXPECT_EQ(0u, ::GetObjectType(oldBitmap));
        EXPECT_FALSE(control.Show());
        EXPECT_EQ(nullptr, control.m_threadHandle);
    }
}

TEST_F(AnimatedPictureTest, AnyStreamThatBeginsWithGifIsReadAsGif)
{
    struct Case { const char* version; int frames; };
    const Case cases[] = {{"87a", 1}, {"89a", 2}, {"xyz", 1}, {"xyz", 2}, {"\x01\x02\x03", 2}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.version << ", " << c.frames << " frame(s)");
        Bytes gif = ColourHead(8, 8, c.version);
        for (int i = 0; i < c.frames; ++i)
            gif = Cat({gif, Framed(5, 0, SolidImage(0, 0, 8, 8, kBlueIndex))});
        gif = Cat({gif, GifTrailer()});

        PictureProbe control;
        ASSERT_TRUE(control.Load(gif));
        EXPECT_TRUE(control.m_gifStream);
        if (c.frames == 1)
        {
            EXPECT_NE(nullptr, control.m_stillPicture);
            EXPECT_TRUE(control.Show());
            EXPECT_EQ(kBlue, control.SurfacePixel(4, 4));
        }
        else
        {
            EXPECT_EQ(nullptr, control.m_stillPicture);
            EXPECT_EQ(static_cast<size_t>(c.frames), control.m_frames.size());
            EXPECT_TRUE(control.HasAnimation());
        }
    }
}

TEST_F(AnimatedPictureTest, FramesThatDoNotDecodeAreLeftOut)
{
    struct Kept { DWORD delay; DWORD disposal; RECT place; };
    struct Case { const char* what; Bytes stream; std::vector<Kept> kept; };
    const Bytes red = Framed(5, 1, SolidImage(0, 0, 8, 8, kRedIndex));
    const Bytes green = Framed(9, 2, SolidImage(2, 3, 4, 5, kGreenIndex));
    const Bytes broken = Framed(7, 3, BrokenImage(1, 1, 2, 2));
    const Kept keptRed = {5, 1, {0, 0, 8, 8}};
    const Kept keptGreen = {9, 2, {2, 3, 6, 8}};
    const Case cases[] = {
        {"the middle one of three", Cat({ColourHead(8, 8), red, broken, green, GifTrailer()}), {keptRed, keptGreen}},
        {"the first of two", Cat({ColourHead(8, 8), broken, green, GifTrailer()}), {keptGreen}},
        {"the second of two", Cat({ColourHead(8, 8), red, broken, GifTrailer()}), {keptRed}},
        // Wine's decoder rejects a frame whose graphic block is plain text,
        // so the place the control would give it cannot be seen here; what
        // shows is that it lends nothing to the frame after it.
        {"a plain text frame", Cat({ColourHead(8, 8), Framed(7, 3, GifPlainText("hi")), green, GifTrailer()}),
         {keptGreen}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        PictureProbe control;
        ASSERT_TRUE(control.Load(c.stream));
        ASSERT_EQ(c.kept.size(), control.m_frames.size());
        for (size_t i = 0; i < c.kept.size(); ++i)
        {
            const GifFrame& f = control.m_frames[i];
            const Kept& k = c.kept[i];
            EXPECT_NE(nullptr, f.picture);
            EXPECT_EQ(k.delay, f.delay);
            EXPECT_EQ(k.disposal, f.disposal);
            EXPECT_EQ(k.place.left, f.offset.x);
            EXPECT_EQ(k.place.top, f.offset.y);
            EXPECT_EQ(k.place.right - k.place.left, f.size.cx);
            EXPECT_EQ(k.place.bottom - k.place.top, f.size.cy);
        }
        EXPECT_EQ(c.kept.size() > 1, control.HasAnimation() != FALSE);
        if (c.kept.size() == 1)
        {
            // Neither animated nor still: the surface keeps its first colour.
            EXPECT_FALSE(control.Show());
            EXPECT_EQ(nullptr, control.m_threadHandle);
            EXPECT_EQ(nullptr, control.m_stillPicture);
            EXPECT_TRUE(SameSurface(Painted(Size(8, 8), ::GetSysColor(COLOR_MENU)), control.SurfaceNow()));
        }
    }
}

TEST(AnimatedPictureFrameTime, ShortDelaysWaitATenthOfASecondOthersTenTimesTheirValue)
{
    struct Case { DWORD delay; DWORD ms; };
    const Case cases[] = {
        {0, 100}, {1, 100}, {4, 100}, {5, 50}, {20, 200}, {0xFFFF, 655350},
        // A frame without a graphic control extension: the product wraps in
        // 32 bits and the frame rests until a stop.
        {0xFFFFFFFF, 0xFFFFFFF6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.ms, PictureProbe::FrameTime(c.delay)) << c.delay;
}

TEST_F(AnimatedPictureTest, DisposalsAndTheWrapAroundShowOnTheSurface)
{
    RenderLog log;
    PictureProbe control;
    HostWindow host(control);
    ASSERT_TRUE(control.Load(DisposalGif()));
    ASSERT_EQ(4u, control.m_frames.size());
    log.Snapshots(control.m_pixelSize);
    WatchFrames(control, log);

    const SIZE screen = control.m_pixelSize;
    const COLORREF menu = ::GetSysColor(COLOR_MENU);
    const COLORREF fill = control.m_fillColor;
    ASSERT_NE(menu, fill) << "the two start colours must differ for the surface to tell them apart";
    const Area green = {{4, 4, 12, 12}, kGreen};
    const Area blue = {{2, 8, 8, 14}, kBlue};
    const Area blueFilled = {{2, 8, 8, 14}, fill};
    const Area yellow = {{10, 1, 14, 5}, kYellow};
    struct Step { size_t frame; Surface before; Surface after; };
    const Step steps[] = {
        {0, Painted(screen, menu), Painted(screen, kRed)},
        {1, Painted(screen, kRed), Painted(screen, kRed, {green})},
        // The green frame's area is put back after its wait.
        {2, Painted(screen, kRed), Painted(screen, kRed, {blue})},
        // The blue frame's area is filled after its wait.
        {3, Painted(screen, kRed, {blueFilled}), Painted(screen, kRed, {blueFilled, yellow})},
        // After the last frame the whole surface is filled.
        {0, Painted(screen, fill), Painted(screen, kRed)},
        {1, Painted(screen, kRed), Painted(screen, kRed, {green})},
    };
    const size_t count = sizeof steps / sizeof steps[0];

    log.StopAfter(count, &control.m_stopRequested);
    EXPECT_FALSE(control.Show());
    ASSERT_TRUE(log.WaitForRenders(count, kTimeoutMs));
    control.StopAnimation();
    ASSERT_EQ(nullptr, control.m_threadHandle);

    std::vector<RenderLog::Call> calls = log.Calls();
    ASSERT_EQ(count, calls.size());
    for (size_t k = 0; k < count; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_EQ(steps[k].frame, calls[k].frame);
        EXPECT_TRUE(SameSurface(steps[k].before, calls[k].before));
        EXPECT_TRUE(SameSurface(steps[k].after, calls[k].after));
    }

    // Each drawn frame asked for a repaint, and painting copied it.
    EXPECT_TRUE(PumpUntil([&] { return host.ScreenPixel(5, 5) == kGreen && host.ScreenPixel(1, 1) == kRed; },
                          kTimeoutMs));

    // Stopped on the green frame: its index and saved area stay, and the
    // next Show first puts the area back, then draws the frame again.
    EXPECT_EQ(1, control.m_frameIndex);
    const HDC saved = control.m_underDC;
    const HBITMAP savedBitmap = control.m_underBitmap;
    ASSERT_NE(nullptr, saved);
    log.StopAfter(count + 1, &control.m_stopRequested);
    EXPECT_FALSE(control.Show());
    ASSERT_TRUE(log.WaitForRenders(count + 1, kTimeoutMs));
    control.StopAnimation();
    calls = log.Calls();
    EXPECT_EQ(1u, calls[count].frame);
    EXPECT_TRUE(SameSurface(Painted(screen, kRed), calls[count].before));
    EXPECT_TRUE(SameSurface(Painted(screen, kRed, {green}), calls[count].after));
    EXPECT_EQ(0u, ::GetObjectType(saved));
    EXPECT_EQ(0u, ::GetObjectType(savedBitmap));

    // Clear releases the area saved for the frame it stopped on.
    const HDC savedAgain = control.m_underDC;
    ASSERT_NE(nullptr, savedAgain);
    control.Clear();
    EXPECT_EQ(nullptr, control.m_underDC);
    EXPECT_EQ(nullptr, control.m_underBitmap);
    EXPECT_EQ(0u, ::GetObjectType(savedAgain));
}

TEST_F(AnimatedPictureTest, StopWithoutAThreadOnlySetsAndResetsTheRequest)
{
    PictureProbe fresh;
    PictureProbe loaded;
    ASSERT_TRUE(loaded.Load(DisposalGif()));
    for (PictureProbe* control : {&fresh, &loaded})
    {
        for (int time = 0; time < 2; ++time)
        {
            control->StopAnimation();
            EXPECT_FALSE(control->m_stopRequested);
            EXPECT_FALSE(control->EventSignalled());
            EXPECT_EQ(nullptr, control->m_threadHandle);
        }
    }
    EXPECT_EQ(4u, loaded.m_frames.size());
    EXPECT_TRUE(loaded.m_surfaceReady);
}

TEST_F(AnimatedPictureTest, StopEndsTheRestOfAFrameWithoutControlExtensionAtOnce)
{
    RenderLog log;
    PictureProbe control;
    HostWindow host(control);
    ASSERT_TRUE(control.Load(RestingGif()));
    ASSERT_EQ(2u, control.m_frames.size());
    ASSERT_EQ(0xFFFFFFFFu, control.m_frames[0].delay);
    WatchFrames(control, log);

    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        EXPECT_FALSE(control.Show());
        const HANDLE thread = control.DuplicateThread();
        ASSERT_NE(nullptr, thread);
        ASSERT_TRUE(log.WaitForRenders(static_cast<size_t>(round + 1), kTimeoutMs));
        // Long enough for the thread to have begun its wait of 49 days.
        PumpFor(100);
        EXPECT_FALSE(Ended(thread));

        control.StopAnimation();
        // Ended by the stop, not given up after StopAnimation's limit.
        const bool ended = Ended(thread);
        if (!ended)
        {
            // Wake it so that the test can end.
            ::SetEvent(control.m_stopEvent);
            control.StopAnimation();
            ::CloseHandle(thread);
        }
        ASSERT_TRUE(ended);
        EXPECT_EQ(nullptr, control.m_threadHandle);
        EXPECT_FALSE(control.m_stopRequested);
        EXPECT_FALSE(control.EventSignalled());
        EXPECT_EQ(0, control.m_frameIndex);
        DWORD exitCode = 1;
        ::GetExitCodeThread(thread, &exitCode);
        EXPECT_EQ(0u, exitCode);
        ::CloseHandle(thread);

        control.StopAnimation();
        EXPECT_FALSE(control.m_stopRequested);
        EXPECT_FALSE(control.EventSignalled());
    }
    // The second Show resumed on the frame it stopped on.
    const std::vector<RenderLog::Call> calls = log.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(0u, calls[0].frame);
    EXPECT_EQ(0u, calls[1].frame);
}

TEST_F(AnimatedPictureTest, AThreadThatOutlivesTheStopIsWaitedForBeforeAnythingIsReleased)
{
    enum class Next { Clear, Show };
    struct Case { const char* what; Next next; DWORD releaseAfterMs; };
    // The lock comes free only after Clear's own stop has also given up.
    const Case cases[] = {{"then Clear", Next::Clear, 6500}, {"then Show", Next::Show, 500}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        RenderLog log;
        PictureProbe control;
        HostWindow host(control);
        ASSERT_TRUE(control.LoadLogo());
        WatchFrames(control, log);

        // The thread blocks on its first drawing step: filling the first
        // frame's area before it is drawn.
        SurfaceLockHolder holder(control.m_surfaceLock);
        EXPECT_FALSE(control.Show());
        const HANDLE thread = control.DuplicateThread();
        ASSERT_NE(nullptr, thread);
        log.WatchThread(thread);

        control.StopAnimation();
        EXPECT_FALSE(Ended(thread));
        EXPECT_NE(nullptr, control.m_threadHandle);
        EXPECT_TRUE(control.m_stopRequested);

        holder.ReleaseAfter(c.releaseAfterMs);
        if (c.next == Next::Clear)
        {
            control.Clear();
            EXPECT_TRUE(Ended(thread));
            EXPECT_EQ(nullptr, control.m_threadHandle);
            EXPECT_FALSE(control.m_stopRequested);
            EXPECT_FALSE(control.EventSignalled());
            EXPECT_EQ(nullptr, control.m_surfaceDC);
            const std::vector<RenderLog::FinalRelease> releases = log.Releases();
            ASSERT_EQ(8u, releases.size());
            for (const RenderLog::FinalRelease& r : releases)
                EXPECT_TRUE(r.threadHadEnded) << r.frame;
            // Asked to stop, it drew nothing once the lock came free.
            EXPECT_EQ(0u, log.Renders());
        }
        else
        {
            EXPECT_FALSE(control.Show());
            // The old thread was gone before the new one started.
            EXPECT_TRUE(Ended(thread));
            ASSERT_NE(nullptr, control.m_threadHandle);
            EXPECT_FALSE(control.m_stopRequested);
            EXPECT_TRUE(log.WaitForRenders(1, kTimeoutMs));
            control.StopAnimation();
            EXPECT_EQ(nullptr, control.m_threadHandle);
        }
    }
}

TEST_F(AnimatedPictureTest, LoadWhilePlayingStopsTheThreadAndReleasesTheOldPicture)
{
    RenderLog log;
    PictureProbe control;
    HostWindow host(control);
    ASSERT_TRUE(control.LoadLogo());
    WatchFrames(control, log);
    EXPECT_FALSE(control.Show());
    const HANDLE thread = control.DuplicateThread();
    ASSERT_NE(nullptr, thread);
    log.WatchThread(thread);
    ASSERT_TRUE(log.WaitForRenders(2, kTimeoutMs));
    const HDC oldSurface = control.m_surfaceDC;
    const HBITMAP oldBitmap = control.m_surfaceBitmap;

    ASSERT_TRUE(control.Load(StillGif()));
    EXPECT_TRUE(Ended(thread));
    EXPECT_EQ(nullptr, control.m_threadHandle);
    const std::vector<RenderLog::FinalRelease> releases = log.Releases();
    ASSERT_EQ(8u, releases.size());
    for (const RenderLog::FinalRelease& r : releases)
        EXPECT_TRUE(r.threadHadEnded) << r.frame;
    EXPECT_EQ(0u, ::GetObjectType(oldSurface));
    EXPECT_EQ(0u, ::GetObjectType(oldBitmap));
    EXPECT_EQ(0, control.m_frameIndex);
    EXPECT_TRUE(control.m_frames.empty());
    EXPECT_TRUE(SameSurface(Painted(Size(8, 8), ::GetSysColor(COLOR_MENU)), control.SurfaceNow()));
    EXPECT_TRUE(control.Show());
}

TEST_F(AnimatedPictureTest, PaintingCopiesTheSurfaceAndNothingElse)
{
    enum class State { Empty, FailedLoad, Loaded, Shown };
    struct Case { const char* what; State state; };
    const Case cases[] = {
        {"nothing loaded", State::Empty},
        {"a failed load after a good one", State::FailedLoad},
        {"loaded, not shown", State::Loaded},
        {"a still picture shown", State::Shown},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        PictureProbe control;
        HostWindow host(control);
        COLORREF expected = kHostColour;
        switch (c.state)
        {
        case State::Empty:
            break;
        case State::FailedLoad:
            ASSERT_TRUE(control.Load(StillGif()));
            ASSERT_TRUE(control.Show());
            ASSERT_FALSE(control.Load(Bytes(64, 'x')));
            break;
        case State::Loaded:
            ASSERT_TRUE(control.Load(StillGif()));
            expected = ::GetSysColor(COLOR_MENU);
            break;
        case State::Shown:
            ASSERT_TRUE(control.Load(StillGif()));
            ASSERT_TRUE(control.Show());
            expected = kBlue;
            break;
        }
        // The parent fills the child's area first; the static control's own
        // black rectangle never shows.
        host.Repaint();
        RECT update;
        EXPECT_FALSE(::GetUpdateRect(host.child, &update, FALSE));
        EXPECT_EQ(expected, host.ScreenPixel(3, 3));
        EXPECT_EQ(expected, host.ScreenPixel(6, 6));
    }
}

TEST_F(AnimatedPictureTest, EveryHandleDcBitmapPictureAndThreadIsReleasedExactlyOnce)
{
    // Warm up first: the first loads bring in the system's decoders.
    {
        PictureProbe control;
        HostWindow host(control);
        for (int i = 0; i < 3; ++i)
        {
            ASSERT_TRUE(control.LoadLogo());
            control.Show();
            control.StopAnimation();
        }
    }
    PumpMessages();
    // GetGuiResources is a stub in Wine 8 that answers 0 for both counts, so
    // there the GDI and USER checks below pass trivially; every DC and bitmap
    // the control made is checked by GetObjectType once it is released, and
    // every picture by its reference count, instead.
    const DWORD gdiObjects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userObjects = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    const long handles = CountOwnHandles();
    const long threads = CountOwnThreads();
    ASSERT_GT(handles, 0);
    ASSERT_GT(threads, 0);

    const Bytes disposalGif = DisposalGif();
    const COLORREF menu = ::GetSysColor(COLOR_MENU);
    std::unique_ptr<PictureProbe> control;
    std::unique_ptr<HostWindow> host;
    struct Held
    {
        std::vector<HGDIOBJ> gdi;
        std::vector<IPicture*> pictures;
    } held;
    const auto checkReleased = [](Held& h, int cycle) {
        for (HGDIOBJ object : h.gdi)
            EXPECT_EQ(0u, ::GetObjectType(object)) << "cycle " << cycle;
        // The test held one reference of its own: the control released its
        // one exactly once.
        for (IPicture* picture : h.pictures)
            EXPECT_EQ(0u, picture->Release()) << "cycle " << cycle;
        h.gdi.clear();
        h.pictures.clear();
    };

    for (int cycle = 0; cycle < 1000; ++cycle)
    {
        // Every hundredth cycle a new control in a new window: the old one's
        // window is destroyed while its animation may run, then the object.
        if (cycle % 100 == 0)
        {
            host.reset();
            control.reset();
            checkReleased(held, cycle);
            control.reset(new PictureProbe);
            host.reset(new HostWindow(*control));
        }
        const BOOL loaded = cycle % 2 ? control->Load(disposalGif) : control->LoadLogo();
        ASSERT_TRUE(loaded) << cycle;
        checkReleased(held, cycle);

        held.gdi = {control->m_surfaceDC, control->m_surfaceBitmap};
        for (const GifFrame& f : control->m_frames)
        {
            f.picture->AddRef();
            held.pictures.push_back(f.picture);
        }
        EXPECT_FALSE(control->Show());
        ASSERT_NE(nullptr, control->m_threadHandle) << cycle;
        // Let it draw at least once: every first frame covers the point.
        ASSERT_TRUE(PumpUntil([&] { return control->SurfacePixel(8, 8) != menu; }, kTimeoutMs)) << cycle;
        if (cycle % 3 == 0)
            PumpFor(cycle % 2 ? 60 : 5);
        control->StopAnimation();
        ASSERT_EQ(nullptr, control->m_threadHandle) << cycle;
        // Stopped on a disposal 3 frame, the saved area lives on until the
        // next load.
        if (control->m_underDC)
            held.gdi.insert(held.gdi.end(), {control->m_underDC, control->m_underBitmap});
    }
    host.reset();
    control.reset();
    checkReleased(held, 1000);
    PumpMessages();

    EXPECT_EQ(handles, CountOwnHandles());
    EXPECT_EQ(threads, CountOwnThreads());
    EXPECT_EQ(gdiObjects, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_EQ(userObjects, ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
}
