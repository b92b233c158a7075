#include "GifBuilder.h"

#include <gtest/gtest.h>

#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
// A measured length that must carry the block past the end of the stream.
const int kPastEnd = INT_MIN;

const DWORD kNoControl = 0xFFFFFFFF;

Bytes FrameCut(const HGLOBAL block, DWORD length)
{
    const BYTE* bytes = static_cast<const BYTE*>(::GlobalLock(block));
    Bytes cut(bytes, bytes + length);
    ::GlobalUnlock(block);
    return cut;
}
}

TEST(GifReader, ColorTableAndFirstBlockFollowTheLogicalScreenDescriptor)
{
    struct Case { const char* what; Bytes stream; int colorTableBytes; int firstBlock; };
    const Bytes wide = GifHead(0x87);
    const Case cases[] = {
        {"no global colour table", GifHead(0x00), 0, 13},
        {"size bits without the table bit", GifHead(0x7F), 0, 13},
        {"two entries", GifHead(0x80), 6, 19},
        {"eight entries", GifHead(0xF2), 24, 37},
        {"256 entries", wide, 768, 781},
        {"version bytes play no part", GifHead(0x81, 2, 2, "87a"), 12, 25},
        {"not a GIF", Cat({{'G', 'I', 'X'}, Bytes(wide.begin() + 3, wide.end())}), 0, 13},
        {"GIF shorter than its descriptor", Prefix(wide, 12), 0, 13},
        {"GIF with its descriptor but not its table", Prefix(wide, 13), 768, 781},
    };
    for (const Case& c : cases)
    {
        ReaderProbe reader;
        reader.Attach(c.stream);
        EXPECT_EQ(c.colorTableBytes, reader.m_colorTableBytes) << c.what;
        reader.RewindToFirstBlock();
        EXPECT_EQ(c.firstBlock, reader.m_cursor) << c.what;
    }
}

TEST(GifReader, BlocksAreClassifiedMeasuredAndSkippedWithinTheStream)
{
    // Each block stands at offset 3 of its stream and is the stream's end, so
    // a block that fits ends exactly at m_streamSize.
    const Bytes image = GifImage(0, 0, 1, 1);
    const Bytes tableImage = GifImage(0, 0, 1, 1, 0x87);
    const Bytes comment = GifComment("abc");
    struct Case { const char* what; Bytes block; GifBlockKind kind; int length; };
    const Case cases[] = {
        {"graphic control extension", GifControl(20, 0x08), GifBlockKind::GraphicControlExtension, 8},
        {"graphic control extension with a wrong block size",
         {0x21, 0xF9, 0xFF, 0, 0, 0, 0, 0}, GifBlockKind::GraphicControlExtension, 8},
        {"graphic control extension one byte short",
         Prefix(GifControl(20, 0x08), 7), GifBlockKind::GraphicControlExtension, 8},
        {"comment", comment, GifBlockKind::CommentExtension, 2 + 5},
        {"empty comment", {0x21, 0xFE, 0x00}, GifBlockKind::CommentExtension, 3},
        {"sub-block sizes above 127 are unsigned",
         GifComment(std::string(200, 'c')), GifBlockKind::CommentExtension, 2 + 202},
        {"comment over two sub-blocks",
         GifComment(std::string(300, 'c')), GifBlockKind::CommentExtension, 2 + 256 + 46 + 1},
        {"application extension", GifApplication(), GifBlockKind::ApplicationExtension, 14 + 5},
        {"plain text extension", GifPlainText("hi"), GifBlockKind::PlainTextExtension, 15 + 4},
        {"image", image, GifBlockKind::ImageDescriptor, 11 + 4},
        {"image, size bits without the table bit",
         GifImage(0, 0, 1, 1, 0x07), GifBlockKind::ImageDescriptor, 11 + 4},
        {"image with a 6-byte local colour table",
         GifImage(0, 0, 1, 1, 0x80), GifBlockKind::ImageDescriptor, 11 + 6 + 4},
        {"image with a 768-byte local colour table", tableImage, GifBlockKind::ImageDescriptor, 11 + 768 + 4},
        {"trailer", GifTrailer(), GifBlockKind::Trailer, 1},
        {"zero byte", {0x00, 0x3B}, GifBlockKind::Unrecognised, -1},
        {"unknown extension label", {0x21, 0xFA, 0x00}, GifBlockKind::Unrecognised, -1},
        {"extension introducer as the last byte", {0x21}, GifBlockKind::Unrecognised, -1},
        {"image separator as the last byte", {0x2C}, GifBlockKind::ImageDescriptor, kPastEnd},
        {"image cut before its packed byte", Prefix(image, 9), GifBlockKind::ImageDescriptor, kPastEnd},
        {"image cut inside its local colour table",
         Prefix(tableImage, 400), GifBlockKind::ImageDescriptor, kPastEnd},
        {"image without its terminator", Prefix(image, image.size() - 1), GifBlockKind::ImageDescriptor, kPastEnd},
        {"comment without its terminator", Prefix(comment, comment.size() - 1), GifBlockKind::CommentExtension, kPastEnd},
        {"comment whose sub-block runs past the end",
         {0x21, 0xFE, 0xFF, 'a'}, GifBlockKind::CommentExtension, kPastEnd},
        {"application extension cut inside its head",
         Prefix(GifApplication(), 6), GifBlockKind::ApplicationExtension, kPastEnd},
        {"plain text extension cut inside its head",
         Prefix(GifPlainText("hi"), 14), GifBlockKind::PlainTextExtension, kPastEnd},
    };
    const int at = 3;
    for (const Case& c : cases)
    {
        const Bytes stream = Cat({{'x', 'y', 'z'}, c.block});
        const int room = static_cast<int>(stream.size()) - at;
        ReaderProbe reader;
        reader.Attach(stream);
        reader.m_cursor = at;
        EXPECT_EQ(c.kind, reader.PeekBlockKind()) << c.what;
        const int length = reader.MeasureBlock();
        if (c.length == kPastEnd)
        {
            EXPECT_GT(length, room) << c.what;
        }
        else
        {
            EXPECT_EQ(c.length, length) << c.what;
        }
        EXPECT_EQ(at, reader.m_cursor) << c.what;

        const bool fits = length > 0 && length <= room;
        EXPECT_EQ(fits, reader.SkipBlock() != FALSE) << c.what;
        EXPECT_EQ(fits ? at + length : at, reader.m_cursor) << c.what;
    }
}

TEST(GifReader, SubBlockChainsAreMeasuredUpToTheirTerminator)
{
    struct Case { const char* what; Bytes chain; int length; };
    const Case cases[] = {
        {"terminator alone", {0x00, 0x77}, 1},
        {"one sub-block", {0x03, 'a', 'b', 'c', 0x00}, 5},
        {"full sub-block then a short one", SubBlocks(Bytes(257, 'x')), 256 + 3 + 1},
        {"size byte 0x80 read unsigned", SubBlocks(Bytes(128, 'x')), 130},
        {"no terminator", {0x03, 'a', 'b', 'c'}, kPastEnd},
        {"size byte beyond the data", {0xFF, 'a'}, kPastEnd},
        {"starts at the end", {}, kPastEnd},
    };
    for (const Case& c : cases)
    {
        const Bytes stream = Cat({{0x2C, 0x2C}, c.chain});
        ReaderProbe reader;
        reader.Attach(stream);
        const int length = reader.MeasureSubBlockChain(2);
        if (c.length == kPastEnd)
        {
            EXPECT_GT(length, static_cast<int>(c.chain.size())) << c.what;
        }
        else
        {
            EXPECT_EQ(c.length, length) << c.what;
        }
    }
}

TEST(GifReader, NothingAtOrPastTheEndIsABlock)
{
    const Bytes stream = Cat({GifHead(0x00), GifControl(1, 0), GifImage(0, 0, 1, 1), GifTrailer()});
    const int size = static_cast<int>(stream.size());
    const int cursors[] = {size, size + 1, INT_MAX - 1, INT_MAX, -1, INT_MIN};
    for (int cursor : cursors)
    {
        ReaderProbe reader;
        reader.Attach(stream);
        reader.m_cursor = cursor;
        DWORD length = 0, delay = 0, disposal = 0;
        SIZE frameSize = {0, 0};
        POINT offset = {0, 0};
        EXPECT_EQ(GifBlockKind::Unrecognised, reader.PeekBlockKind()) << cursor;
        EXPECT_EQ(-1, reader.MeasureBlock()) << cursor;
        EXPECT_GT(reader.MeasureSubBlockChain(cursor), 0) << cursor;
        EXPECT_FALSE(reader.SkipBlock()) << cursor;
        EXPECT_FALSE(reader.SkipFrame()) << cursor;
        EXPECT_EQ(nullptr, reader.CutNextFrame(length, delay, frameSize, offset, disposal)) << cursor;
        EXPECT_EQ(cursor, reader.m_cursor) << cursor;
    }
}

TEST(GifReader, WithoutAStreamEveryOperationFails)
{
    const Bytes stream = Cat({GifHead(0x00), GifImage(0, 0, 1, 1), GifTrailer()});
    ReaderProbe reader;
    reader.Attach(stream);
    reader.DetachStream();
    EXPECT_EQ(nullptr, reader.m_bytes);
    reader.RewindToFirstBlock();
    DWORD length = 0, delay = 0, disposal = 0;
    SIZE size = {0, 0};
    POINT offset = {0, 0};
    EXPECT_EQ(GifBlockKind::Unrecognised, reader.PeekBlockKind());
    EXPECT_EQ(-1, reader.MeasureBlock());
    EXPECT_FALSE(reader.SkipBlock());
    EXPECT_FALSE(reader.SkipFrame());
    EXPECT_EQ(nullptr, reader.CutNextFrame(length, delay, size, offset, disposal));
}

TEST(GifReader, FramesAreCountedAndCutInStreamOrder)
{
    // Sizes and offsets that the cut does not set keep these values.
    const SIZE untouchedSize = {-7, -7};
    const POINT untouchedOffset = {-9, -9};
    struct Frame
    {
        Bytes run;
        DWORD delay;
        DWORD disposal;
        SIZE size;
        POINT offset;
    };
    struct Case
    {
        const char* what;
        Bytes stream;
        std::vector<Frame> frames;
        // Where the walk stops after the last frame; -1 when that is not fixed.
        int stop;
    };

    const Bytes head = GifHead(0x80);
    const Bytes noTable = GifHead(0x00);
    const Bytes control = GifControl(20, 0x08);
    const Bytes image = GifImage(0, 0, 1, 1);
    const Bytes placed = GifImage(0x0102, 0x0304, 0x0506, 0x0708);
    const Bytes tableImage = GifImage(1, 2, 3, 4, 0x87);
    const Bytes comment = GifComment("note");
    const Bytes text = GifPlainText("hi");
    const Bytes unknown = {0x21, 0xFA, 0x01, 0x00, 0x00};
    const SIZE one = {1, 1};
    const POINT origin = {0, 0};
    const auto size = [](const Bytes& bytes) { return static_cast<int>(bytes.size()); };

    const Case cases[] = {
        {"no global colour table: first block at 13",
         Cat({noTable, image, GifTrailer()}),
         {{image, kNoControl, 0, one, origin}},
         13 + size(image)},
        {"a frame without a control extension is its image alone",
         Cat({head, control, image, placed, GifTrailer()}),
         {{Cat({control, image}), 20, 2, one, origin},
          {placed, kNoControl, 0, {0x0506, 0x0708}, {0x0102, 0x0304}}},
         size(head) + 8 + 2 * size(image)},
        {"delay is little-endian, disposal bits 2-4 of the packed byte",
         Cat({head, GifControl(0x1234, 0x0D), image, GifControl(0xFFFF, 0xFF), image, GifTrailer()}),
         {{Cat({GifControl(0x1234, 0x0D), image}), 0x1234, 3, one, origin},
          {Cat({GifControl(0xFFFF, 0xFF), image}), 0xFFFF, 7, one, origin}},
         size(head) + 2 * (8 + size(image))},
        {"a comment between control extension and image is carried once",
         Cat({head, control, comment, image, GifTrailer()}),
         {{Cat({control, comment, image}), 20, 2, one, origin}},
         size(head) + 8 + size(comment) + size(image)},
        {"blocks ahead of a frame are not copied",
         Cat({head, GifApplication(), comment, control, image, comment, comment, control, placed, GifTrailer()}),
         {{Cat({control, image}), 20, 2, one, origin},
          {Cat({control, placed}), 20, 2, {0x0506, 0x0708}, {0x0102, 0x0304}}},
         size(head) + 19 + 3 * size(comment) + 16 + size(image) + size(placed)},
        {"two control extensions before one image: the first one counts",
         Cat({head, GifControl(10, 0x04), GifApplication(), GifControl(30, 0x0C), image, GifTrailer()}),
         {{Cat({GifControl(10, 0x04), GifApplication(), GifControl(30, 0x0C), image}), 10, 1, one, origin}},
         size(head) + 8 + 19 + 8 + size(image)},
        {"plain text frames set no size or offset",
         Cat({head, GifControl(5, 0x04), text, text, GifTrailer()}),
         {{Cat({GifControl(5, 0x04), text}), 5, 1, untouchedSize, untouchedOffset},
          {text, kNoControl, 0, untouchedSize, untouchedOffset}},
         size(head) + 8 + 2 * size(text)},
        {"image with a 768-byte local colour table",
         Cat({head, control, tableImage, GifTrailer()}),
         {{Cat({control, tableImage}), 20, 2, {3, 4}, {1, 2}}},
         size(head) + 8 + size(tableImage)},
        {"a control extension followed by the trailer is no frame",
         Cat({head, control, image, control, GifTrailer(), image}),
         {{Cat({control, image}), 20, 2, one, origin}},
         -1},
        {"an unknown extension ends the walk",
         Cat({head, control, image, unknown, control, image, GifTrailer()}),
         {{Cat({control, image}), 20, 2, one, origin}},
         size(head) + 8 + size(image)},
        {"an unknown extension between control extension and image",
         Cat({head, control, unknown, image, GifTrailer()}),
         {},
         -1},
        {"no trailer after the last frame",
         Cat({head, control, image}),
         {{Cat({control, image}), 20, 2, one, origin}},
         size(head) + 8 + size(image)},
        {"the last image runs off the end",
         Cat({head, control, image, control, Prefix(image, image.size() - 1)}),
         {{Cat({control, image}), 20, 2, one, origin}},
         -1},
        {"the control extension of the last frame runs off the end",
         Cat({head, image, Prefix(control, 7)}),
         {{image, kNoControl, 0, one, origin}},
         size(head) + size(image)},
        {"stream shorter than its global colour table",
         Prefix(Cat({GifHead(0x87), control, image, GifTrailer()}), 400),
         {},
         781},
        {"stream shorter than its logical screen descriptor",
         Prefix(noTable, 12),
         {},
         13},
    };

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ReaderProbe reader;
        reader.Attach(c.stream);
        const int headBytes = 13 + reader.m_colorTableBytes;

        reader.RewindToFirstBlock();
        size_t count = 0;
        while (count <= c.frames.size() && reader.SkipFrame())
            ++count;
        EXPECT_EQ(c.frames.size(), count);
        const int skipStop = reader.m_cursor;
        if (c.stop >= 0)
        {
            EXPECT_EQ(c.stop, skipStop);
        }
        EXPECT_FALSE(reader.SkipFrame());
        EXPECT_EQ(skipStop, reader.m_cursor);

        reader.RewindToFirstBlock();
        for (const Frame& expected : c.frames)
        {
            DWORD length = 0, delay = 0, disposal = 99;
            SIZE frameSize = untouchedSize;
            POINT offset = untouchedOffset;
            HGLOBAL block = reader.CutNextFrame(length, delay, frameSize, offset, disposal);
            ASSERT_NE(nullptr, block);
            const Bytes cut = FrameCut(block, length);
            EXPECT_EQ(length, ::GlobalSize(block));
            ::GlobalFree(block);

            EXPECT_EQ(Cat({Prefix(c.stream, headBytes), expected.run, GifTrailer()}), cut);
            EXPECT_EQ(expected.delay, delay);
            EXPECT_EQ(expected.disposal, disposal);
            EXPECT_EQ(expected.size.cx, frameSize.cx);
            EXPECT_EQ(expected.size.cy, frameSize.cy);
            EXPECT_EQ(expected.offset.x, offset.x);
            EXPECT_EQ(expected.offset.y, offset.y);
        }
        DWORD length = 0, delay = 0, disposal = 0;
        SIZE frameSize = {0, 0};
        POINT offset = {0, 0};
        EXPECT_EQ(nullptr, reader.CutNextFrame(length, delay, frameSize, offset, disposal));
        EXPECT_EQ(skipStop, reader.m_cursor);
    }
}

TEST(GifReader, CutRefusesAStreamShorterThanItsHead)
{
    // A well-formed frame, but the descriptor promises 768 bytes of colour
    // table that the stream does not have: the cut cannot repeat them.
    const Bytes stream = Cat({Prefix(GifHead(0x87), 13), GifControl(20, 0x08), GifImage(0, 0, 1, 1), GifTrailer()});
    ReaderProbe reader;
    reader.Attach(stream);
    ASSERT_EQ(768, reader.m_colorTableBytes);
    reader.m_cursor = 13;
    EXPECT_TRUE(reader.SkipFrame());
    reader.m_cursor = 13;
    DWORD length = 0, delay = 0, disposal = 0;
    SIZE size = {0, 0};
    POINT offset = {0, 0};
    EXPECT_EQ(nullptr, reader.CutNextFrame(length, delay, size, offset, disposal));
}

TEST(GifReader, HandMadeGifIsCutByteForByte)
{
    const BYTE stream[] = {
        'G', 'I', 'F', '8', '9', 'a', 0x02, 0x00, 0x02, 0x00, 0x80, 0x01, 0x00,
        0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
        0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0x00, 0x00, 0x00,
        0x21, 0xF9, 0x04, 0x09, 0x0A, 0x00, 0x01, 0x00,
        0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00,
        0x21, 0xFE, 0x02, 'h', 'i', 0x00,
        0x2C, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x4C, 0x01, 0x00,
        0x3B,
    };
    const Bytes first = {
        'G', 'I', 'F', '8', '9', 'a', 0x02, 0x00, 0x02, 0x00, 0x80, 0x01, 0x00,
        0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
        0x21, 0xF9, 0x04, 0x09, 0x0A, 0x00, 0x01, 0x00,
        0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00,
        0x3B,
    };
    const Bytes second = {
        'G', 'I', 'F', '8', '9', 'a', 0x02, 0x00, 0x02, 0x00, 0x80, 0x01, 0x00,
        0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
        0x2C, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x4C, 0x01, 0x00,
        0x3B,
    };

    ReaderProbe reader;
    reader.AttachStream(stream, sizeof stream);
    reader.RewindToFirstBlock();
    DWORD length = 0, delay = 0, disposal = 0;
    SIZE size = {0, 0};
    POINT offset = {0, 0};

    HGLOBAL block = reader.CutNextFrame(length, delay, size, offset, disposal);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(first, FrameCut(block, length));
    ::GlobalFree(block);
    EXPECT_EQ(10u, delay);
    EXPECT_EQ(2u, disposal);
    EXPECT_EQ(0, offset.x);
    EXPECT_EQ(0, offset.y);

    block = reader.CutNextFrame(length, delay, size, offset, disposal);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(second, FrameCut(block, length));
    ::GlobalFree(block);
    EXPECT_EQ(kNoControl, delay);
    EXPECT_EQ(0u, disposal);
    EXPECT_EQ(1, offset.x);
    EXPECT_EQ(1, offset.y);
    EXPECT_EQ(1, size.cx);
    EXPECT_EQ(1, size.cy);

    EXPECT_EQ(nullptr, reader.CutNextFrame(length, delay, size, offset, disposal));
    EXPECT_EQ(static_cast<int>(sizeof stream) - 1, reader.m_cursor);
}

namespace
{
struct LogoFrame
{
    Bytes cut;
    DWORD delay;
    DWORD disposal;
    SIZE size;
    POINT offset;
};

std::vector<LogoFrame> CutLogo()
{
    const ResourceBytes logo = LogoResource();
    ReaderProbe reader;
    reader.AttachStream(logo.bytes, logo.size);
    reader.RewindToFirstBlock();
    std::vector<LogoFrame> frames;
    for (;;)
    {
        LogoFrame frame = {{}, 0, 0, {0, 0}, {0, 0}};
        DWORD length = 0;
        HGLOBAL block = reader.CutNextFrame(length, frame.delay, frame.size, frame.offset, frame.disposal);
        if (!block || frames.size() > 8)
            break;
        frame.cut = FrameCut(block, length);
        ::GlobalFree(block);
        frames.push_back(frame);
    }
    reader.DetachStream();
    return frames;
}
}

TEST(GifLogo, ResourceFiguresAndFrameCount)
{
    const ResourceBytes logo = LogoResource();
    ASSERT_NE(nullptr, logo.bytes);
    ASSERT_EQ(2141u, logo.size);
    EXPECT_EQ(0, std::memcmp(logo.bytes, "GIF89a", 6));
    EXPECT_EQ(64, logo.bytes[6] | logo.bytes[7] << 8);
    EXPECT_EQ(64, logo.bytes[8] | logo.bytes[9] << 8);

    ReaderProbe reader;
    reader.AttachStream(logo.bytes, logo.size);
    EXPECT_EQ(24, reader.m_colorTableBytes);
    reader.RewindToFirstBlock();
    EXPECT_EQ(37, reader.m_cursor);
    for (int frame = 0; frame < 8; ++frame)
        EXPECT_TRUE(reader.SkipFrame()) << frame;
    EXPECT_FALSE(reader.SkipFrame());
    EXPECT_EQ(2140, reader.m_cursor);
    EXPECT_EQ(GifBlockKind::Trailer, reader.PeekBlockKind());
}

TEST(GifLogo, EightFramesCutWithTheirTimingAndPlace)
{
    const ResourceBytes logo = LogoResource();
    ASSERT_NE(nullptr, logo.bytes);
    const std::vector<LogoFrame> frames = CutLogo();
    const size_t lengths[] = {305, 312, 304, 305, 311, 301, 273, 277};
    const DWORD delays[] = {20, 20, 20, 5, 25, 15, 30, 20};
    ASSERT_EQ(8u, frames.size());

    // The runs follow one another from the end of the looping extension
    // (37 + 19) to the trailer: together they are the stream's frames.
    Bytes runs;
    const BYTE application[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E'};
    for (size_t i = 0; i < frames.size(); ++i)
    {
        const LogoFrame& f = frames[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(lengths[i], f.cut.size());
        EXPECT_EQ(delays[i], f.delay);
        EXPECT_EQ(2u, f.disposal);
        EXPECT_EQ(64, f.size.cx);
        EXPECT_EQ(64, f.size.cy);
        EXPECT_EQ(0, f.offset.x);
        EXPECT_EQ(0, f.offset.y);
        ASSERT_GE(f.cut.size(), 38u);
        EXPECT_EQ(0, std::memcmp(f.cut.data(), logo.bytes, 37));
        EXPECT_EQ(0x3B, f.cut.back());
        EXPECT_EQ(f.cut.end(), std::search(f.cut.begin(), f.cut.end(), application, application + sizeof application));
        runs.insert(runs.end(), f.cut.begin() + 37, f.cut.end() - 1);
    }
    EXPECT_EQ(Bytes(logo.bytes + 56, logo.bytes + 2140), runs);
}

TEST(GifLogo, EveryCutFrameDecodesAt64By64Pixels)
{
    ASSERT_EQ(S_OK, ::OleInitialize(NULL));
    HDC screen = ::GetDC(NULL);
    const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(NULL, screen);

    const std::vector<LogoFrame> frames = CutLogo();
    ASSERT_EQ(8u, frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
    {
        SCOPED_TRACE(i);
        const Bytes& cut = frames[i].cut;
        HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, cut.size());
        ASSERT_NE(nullptr, block);
        std::memcpy(block, cut.data(), cut.size());
        IStream* stream = nullptr;
        ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(block, TRUE, &stream));
        IPicture* picture = nullptr;
        const HRESULT loaded = ::OleLoadPicture(stream, static_cast<LONG>(cut.size()), FALSE, IID_IPicture,
                                                reinterpret_cast<void**>(&picture));
        stream->Release();
        ASSERT_EQ(S_OK, loaded);
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
        picture->get_Width(&width);
        picture->get_Height(&height);
        picture->Release();
        EXPECT_EQ(64, ::MulDiv(width, dpiX, 2540)) << width;
        EXPECT_EQ(64, ::MulDiv(height, dpiY, 2540)) << height;
    }
    ::OleUninitialize();
}
