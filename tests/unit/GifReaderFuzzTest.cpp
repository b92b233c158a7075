#include "GifBuilder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// The reader meets streams it cannot trust. Each stream here ends exactly
// where readable memory ends, so a single read past its end faults at once
// instead of passing unnoticed.
//
//   QUELT_FUZZ_SEED        seed of the random inputs (default below)
//   QUELT_FUZZ_ITERATIONS  number of random inputs
//
// Every input is made from the seed and its own number alone: a failure at
// input N repeats with the same seed and at least N + 1 iterations.

namespace
{
const unsigned kDefaultSeed = 20261211;
const unsigned kDefaultIterations = 300000;
const size_t kLargestStream = 8192;

unsigned EnvironmentNumber(const char* name, unsigned fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return *end == '\0' ? static_cast<unsigned>(value) : fallback;
}

// splitmix64: tiny, and the same numbers on every platform and library.
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed) {}

    uint32_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
    }

    uint32_t Below(size_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }

private:
    uint64_t m_state;
};

// Readable pages followed by one that cannot be touched; streams are copied
// so that their last byte is the last readable one.
class GuardedBuffer
{
public:
    explicit GuardedBuffer(size_t capacity)
    {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        m_page = info.dwPageSize;
        m_readable = (capacity + m_page - 1) / m_page * m_page;
        m_base = static_cast<BYTE*>(::VirtualAlloc(nullptr, m_readable + m_page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        m_guarded = m_base && ::VirtualProtect(m_base + m_readable, m_page, PAGE_NOACCESS, &previous);
    }

    ~GuardedBuffer()
    {
        if (m_base)
            ::VirtualFree(m_base, 0, MEM_RELEASE);
    }

    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    bool Ready() const { return m_guarded; }
    size_t Capacity() const { return m_readable; }

    const BYTE* Place(const Bytes& stream)
    {
        BYTE* at = m_base + m_readable - stream.size();
        if (!stream.empty())
            std::memcpy(at, stream.data(), stream.size());
        return at;
    }

    bool InGuard(ULONG_PTR address) const
    {
        const ULONG_PTR guard = reinterpret_cast<ULONG_PTR>(m_base + m_readable);
        return address >= guard && address < guard + m_page;
    }

private:
    BYTE* m_base = nullptr;
    size_t m_page = 0;
    size_t m_readable = 0;
    bool m_guarded = false;
};

// A fault would end the process before GoogleTest could say which input
// caused it, so a handler says it while the inputs run.
struct CurrentInput
{
    const GuardedBuffer* buffer;
    const char* source;
    bool random;
    unsigned seed;
    unsigned iteration;
    size_t size;
};
CurrentInput g_input;

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || !g_input.buffer)
        return EXCEPTION_CONTINUE_SEARCH;
    const ULONG_PTR address = record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0;
    std::fprintf(stderr, "access violation at 0x%08lx (%s) on a %u-byte stream from %s\n",
                 static_cast<unsigned long>(address),
                 g_input.buffer->InGuard(address) ? "read past the end of the stream" : "outside the stream",
                 static_cast<unsigned>(g_input.size), g_input.source);
    if (g_input.random)
        std::fprintf(stderr, "input %u of seed %u; repeat with QUELT_FUZZ_SEED=%u QUELT_FUZZ_ITERATIONS=%u\n",
                     g_input.iteration, g_input.seed, g_input.seed, g_input.iteration + 1);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

class FaultReport
{
public:
    explicit FaultReport(const GuardedBuffer& buffer)
    {
        g_input = {&buffer, "", false, 0, 0, 0};
        m_handler = ::AddVectoredExceptionHandler(1, ReportFault);
    }
    ~FaultReport()
    {
        ::RemoveVectoredExceptionHandler(m_handler);
        g_input.buffer = nullptr;
    }

private:
    void* m_handler;
};

struct Source
{
    const char* name;
    Bytes stream;
};

std::vector<Source> Sources()
{
    const ResourceBytes logo = LogoResource();
    std::vector<Source> sources;
    sources.push_back({"logo", Bytes(logo.bytes, logo.bytes + logo.size)});
    sources.push_back({"two images, no colour tables",
                       Cat({GifHead(0x00), GifImage(0, 0, 1, 1), GifImage(1, 1, 1, 1), GifTrailer()})});
    sources.push_back({"768-byte colour tables",
                       Cat({GifHead(0x87, 4, 4), GifApplication(), GifControl(3, 0x0D), GifComment("x"),
                            GifImage(0, 0, 2, 2, 0x87), GifTrailer()})});
    sources.push_back({"plain text, long chains, two control extensions",
                       Cat({GifHead(0x81), GifControl(1, 0x04), GifControl(2, 0x08), GifPlainText("text"),
                            GifComment(std::string(300, 'c')), GifImage(0, 0, 1, 1, 0x80, Bytes(200, 0x55)),
                            GifControl(4, 0x0C), GifPlainText(""), GifTrailer()})});
    return sources;
}

// What every cut must be: the stream's head, the run of blocks the cursor
// just passed, the trailer, in a block of exactly that length.
void CheckCut(const BYTE* stream, DWORD size, int headBytes, int before, int after,
              HGLOBAL block, DWORD length, DWORD delay, DWORD disposal)
{
    const BYTE* cut = static_cast<const BYTE*>(block);
    const long long run = static_cast<long long>(length) - headBytes - 1;
    ASSERT_EQ(length, ::GlobalSize(block));
    ASSERT_LE(after, static_cast<long long>(size));
    ASSERT_GT(run, 0);
    ASSERT_LE(run, static_cast<long long>(after) - before);
    EXPECT_EQ(0, std::memcmp(cut, stream, headBytes));
    EXPECT_EQ(0, std::memcmp(cut + headBytes, stream + after - run, static_cast<size_t>(run)));
    EXPECT_EQ(0x3B, cut[length - 1]);
    EXPECT_LE(disposal, 7u);
    const bool controlled = run >= 2 && cut[headBytes] == 0x21 && cut[headBytes + 1] == 0xF9;
    EXPECT_EQ(controlled, delay != 0xFFFFFFFF);
    if (!controlled)
    {
        EXPECT_EQ(0u, disposal);
    }
}

// Cuts at the cursor; false when there was nothing more to cut.
bool CutAndCheck(ReaderProbe& reader, const BYTE* stream, DWORD size)
{
    const int before = reader.m_cursor;
    DWORD length = 0, delay = 0, disposal = 0;
    SIZE frameSize = {0, 0};
    POINT offset = {0, 0};
    HGLOBAL block = reader.CutNextFrame(length, delay, frameSize, offset, disposal);
    if (!block)
        return false;
    CheckCut(stream, size, 13 + reader.m_colorTableBytes, before, reader.m_cursor, block, length, delay, disposal);
    ::GlobalFree(block);
    return true;
}

// Runs the reader the way a load does, then from arbitrary cursors.
void Exercise(const BYTE* stream, DWORD size, Random& random)
{
    ReaderProbe reader;
    reader.AttachStream(stream, size);
    const int headBytes = 13 + reader.m_colorTableBytes;
    if (reader.m_colorTableBytes != 0)
    {
        ASSERT_TRUE(size >= 13 && std::memcmp(stream, "GIF", 3) == 0);
    }

    reader.RewindToFirstBlock();
    ASSERT_EQ(headBytes, reader.m_cursor);
    int frames = 0;
    for (;;)
    {
        const int before = reader.m_cursor;
        const BOOL skipped = reader.SkipFrame();
        if (!skipped)
        {
            ASSERT_GE(reader.m_cursor, before);
            ASSERT_TRUE(reader.m_cursor == headBytes || static_cast<DWORD>(reader.m_cursor) <= size);
            break;
        }
        ASSERT_GT(reader.m_cursor, before);
        ASSERT_LE(static_cast<DWORD>(reader.m_cursor), size);
        ++frames;
    }
    const int skipStop = reader.m_cursor;

    reader.RewindToFirstBlock();
    int cuts = 0;
    while (CutAndCheck(reader, stream, size))
    {
        if (::testing::Test::HasFailure())
            return;
        ASSERT_LE(++cuts, frames);
    }
    ASSERT_EQ(frames, cuts);
    ASSERT_EQ(skipStop, reader.m_cursor);

    const int odd[] = {0, static_cast<int>(size), static_cast<int>(size) - 1, INT_MAX, -1};
    for (int probe = 0; probe < 6; ++probe)
    {
        const int cursor = random.Below(3) == 0 ? odd[random.Below(5)] : static_cast<int>(random.Below(size + 2));
        reader.m_cursor = cursor;
        const GifBlockKind kind = reader.PeekBlockKind();
        const int length = reader.MeasureBlock();
        ASSERT_EQ(cursor, reader.m_cursor);
        if (kind == GifBlockKind::Unrecognised)
        {
            ASSERT_EQ(-1, length);
        }
        else
        {
            ASSERT_GT(length, 0);
        }
        ASSERT_GT(reader.MeasureSubBlockChain(static_cast<int>(random.Below(size + 2))), 0);

        const bool fits = length > 0 && static_cast<long long>(cursor) + length <= size;
        ASSERT_EQ(fits, reader.SkipBlock() != FALSE);
        ASSERT_EQ(fits ? cursor + length : cursor, reader.m_cursor);

        reader.m_cursor = cursor;
        if (reader.SkipFrame())
        {
            ASSERT_TRUE(reader.m_cursor > cursor && static_cast<DWORD>(reader.m_cursor) <= size);
        }
        reader.m_cursor = cursor;
        CutAndCheck(reader, stream, size);
        if (::testing::Test::HasFailure())
            return;
    }
    reader.DetachStream();
}

void Mutate(Bytes& s, Random& random, size_t capacity)
{
    const int steps = 1 + static_cast<int>(random.Below(4));
    for (int step = 0; step < steps; ++step)
    {
        const size_t at = random.Below(s.size());
        switch (random.Below(11))
        {
        case 0:
            if (!s.empty())
                s[at] ^= static_cast<BYTE>(1 << random.Below(8));
            break;
        case 1:
            if (!s.empty())
                s[at] = static_cast<BYTE>(random.Next());
            break;
        case 2:
            // A size byte that claims far more than follows.
            if (!s.empty())
                s[at] = static_cast<BYTE>(0xF0 | random.Below(16));
            break;
        case 3:
            if (!s.empty())
                s[at] = 0;
            break;
        case 4:
        {
            // The packed byte of the screen or of an image: 768-byte tables.
            std::vector<size_t> packed;
            if (s.size() > 10)
                packed.push_back(10);
            for (size_t i = 0; i + 9 < s.size(); ++i)
                if (s[i] == 0x2C)
                    packed.push_back(i + 9);
            if (!packed.empty())
                s[packed[random.Below(packed.size())]] = 0xFF;
            break;
        }
        case 5:
            s.resize(random.Below(s.size() + 1));
            break;
        case 6:
        {
            const size_t count = 1 + random.Below(16);
            for (size_t i = 0; i < count && s.size() < capacity; ++i)
                s.insert(s.begin() + static_cast<std::ptrdiff_t>(random.Below(s.size() + 1)),
                         static_cast<BYTE>(random.Next()));
            break;
        }
        case 7:
        {
            const size_t count = s.empty() ? 0 : 1 + random.Below(32);
            const size_t end = at + count < s.size() ? at + count : s.size();
            s.erase(s.begin() + static_cast<std::ptrdiff_t>(at), s.begin() + static_cast<std::ptrdiff_t>(end));
            break;
        }
        case 8:
        {
            // Repeats a stretch elsewhere: blocks out of place, frames twice.
            const size_t count = 1 + random.Below(64);
            if (s.empty() || at + count > s.size() || s.size() + count > capacity)
                break;
            const Bytes stretch(s.begin() + static_cast<std::ptrdiff_t>(at),
                                s.begin() + static_cast<std::ptrdiff_t>(at + count));
            s.insert(s.begin() + static_cast<std::ptrdiff_t>(random.Below(s.size() + 1)), stretch.begin(), stretch.end());
            break;
        }
        case 9:
        {
            const BYTE marks[] = {0x21, 0x2C, 0x3B, 0xF9, 0xFE, 0xFF, 0x01, 0x00};
            if (!s.empty())
                s[at] = marks[random.Below(sizeof marks)];
            break;
        }
        default:
        {
            // Garbage, behind a GIF signature half of the time.
            s.assign(random.Below(300), 0);
            for (BYTE& b : s)
                b = static_cast<BYTE>(random.Next());
            if (random.Below(2) && s.size() >= 3)
                std::memcpy(s.data(), "GIF", 3);
            break;
        }
        }
    }
}
}

TEST(GifReaderFuzz, StreamsCutShortAtEveryLength)
{
    GuardedBuffer buffer(kLargestStream);
    ASSERT_TRUE(buffer.Ready());
    FaultReport report(buffer);
    Random random(kDefaultSeed);
    for (const Source& source : Sources())
    {
        ASSERT_FALSE(source.stream.empty()) << source.name;
        for (size_t size = 0; size <= source.stream.size(); ++size)
        {
            const Bytes stream = Prefix(source.stream, size);
            g_input = {&buffer, source.name, false, 0, 0, size};
            SCOPED_TRACE(std::string(source.name) + ", " + std::to_string(size) + " bytes");
            Exercise(buffer.Place(stream), static_cast<DWORD>(size), random);
            if (HasFailure())
                return;
        }
    }
}

TEST(GifReaderFuzz, MutatedStreamsStayInside)
{
    const unsigned seed = EnvironmentNumber("QUELT_FUZZ_SEED", kDefaultSeed);
    const unsigned iterations = EnvironmentNumber("QUELT_FUZZ_ITERATIONS", kDefaultIterations);
    std::printf("seed %u, %u inputs\n", seed, iterations);

    GuardedBuffer buffer(kLargestStream);
    ASSERT_TRUE(buffer.Ready());
    FaultReport report(buffer);
    const std::vector<Source> sources = Sources();
    for (unsigned iteration = 0; iteration < iterations; ++iteration)
    {
        Random random((static_cast<uint64_t>(seed) << 32) | iteration);
        const Source& source = sources[random.Below(sources.size())];
        Bytes stream = source.stream;
        Mutate(stream, random, buffer.Capacity());
        g_input = {&buffer, source.name, true, seed, iteration, stream.size()};
        SCOPED_TRACE("seed " + std::to_string(seed) + ", input " + std::to_string(iteration) + " from " + source.name);
        Exercise(buffer.Place(stream), static_cast<DWORD>(stream.size()), random);
        if (HasFailure())
            return;
    }
}
