// CByteReader: byte order, and that no read, skip, seek or slice can pass the end of the
// block, however large the offset or size asked for.
#include "util/ByteReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

const uint8_t kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x80, 0x3F, 0xFE, 0xFF};

TEST(ByteReader, ReadsBothByteOrders)
{
    CByteReader in(kBytes, sizeof kBytes);
    EXPECT_EQ(in.U16LE(), 0x0201);
    EXPECT_EQ(in.U16BE(), 0x0304);
    EXPECT_EQ(in.F32LE(), 1.0f);
    EXPECT_EQ(in.S16LE(), -2);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(in.Failed());
    in.Seek(0);
    EXPECT_EQ(in.U32LE(), 0x04030201u);
    in.Seek(0);
    EXPECT_EQ(in.U32BE(), 0x01020304u);
    EXPECT_EQ(in.Offset(), 4u);
}

TEST(ByteReader, ReadsPastTheEndGiveZeroAndStayFailed)
{
    CByteReader in(kBytes, 3);
    EXPECT_EQ(in.U16LE(), 0x0201);
    EXPECT_EQ(in.U16LE(), 0); // one byte left: not enough
    EXPECT_TRUE(in.Failed());
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.U8(), 0);
    in.Seek(0); // moving back does not clear the failure
    EXPECT_EQ(in.U8(), 1);
    EXPECT_TRUE(in.Failed());

    CByteReader empty(nullptr, 100); // no block: nothing to read, whatever the size says
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_EQ(empty.U32BE(), 0u);
    EXPECT_TRUE(empty.Failed());

    uint8_t out[4] = {9, 9, 9, 9};
    CByteReader shortCopy(kBytes, 2);
    EXPECT_FALSE(shortCopy.Copy(out, 4));
    EXPECT_EQ(out[0], 0); // nothing half-copied
    EXPECT_EQ(out[3], 0);
}

TEST(ByteReader, HugeSkipsSeeksAndSlicesAreRefused)
{
    const size_t huge = std::numeric_limits<size_t>::max();
    CByteReader in(kBytes, sizeof kBytes);
    in.Skip(2);
    EXPECT_EQ(in.Take(huge), nullptr); // offset + size would wrap around
    EXPECT_TRUE(in.Failed());

    CByteReader seek(kBytes, sizeof kBytes);
    EXPECT_TRUE(seek.Seek(sizeof kBytes)); // the end itself is a place
    EXPECT_FALSE(seek.Failed());
    EXPECT_FALSE(seek.Seek(sizeof kBytes + 1));
    EXPECT_TRUE(seek.Failed());

    CByteReader whole(kBytes, sizeof kBytes);
    EXPECT_TRUE(whole.Slice(huge, 2).Failed());
    EXPECT_TRUE(whole.Slice(4, huge - 2).Failed()); // 4 + (huge - 2) wraps to 1
    EXPECT_TRUE(whole.Slice(8, 3).Failed());
    CByteReader tail = whole.Slice(8, 2);
    EXPECT_FALSE(tail.Failed());
    EXPECT_EQ(tail.U16LE(), 0xFFFE);
    EXPECT_EQ(whole.Offset(), 0u); // slicing leaves the reader where it was
}

TEST(ByteReader, SubReadersEndAtTheirOwnSize)
{
    CByteReader in(kBytes, sizeof kBytes);
    in.Skip(1);
    CByteReader part = in.Sub(2);
    EXPECT_EQ(in.Offset(), 3u);
    EXPECT_EQ(part.U16BE(), 0x0203);
    EXPECT_EQ(part.U8(), 0); // the byte after it belongs to the parent
    EXPECT_TRUE(part.Failed());
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(in.U8(), 4);

    CByteReader tooLong = in.Sub(100);
    EXPECT_TRUE(tooLong.Failed());
    EXPECT_EQ(tooLong.Size(), 0u);
    EXPECT_TRUE(in.Failed());
}

} // namespace
