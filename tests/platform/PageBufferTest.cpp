#include <gtest/gtest.h>

#include <utility>

#include "platform/PageBuffer.h"

TEST(PageBufferTest, BuffersAreZeroedWritableToTheEndAndMoveTheirPages) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{4097}, (std::size_t{2} << 20) + 3}) {
        SCOPED_TRACE(size);
        PageBuffer buffer(size);
        ASSERT_NE(buffer.Data(), nullptr);
        EXPECT_EQ(buffer.Size(), size);
        EXPECT_EQ(buffer.Data()[0], 0);
        EXPECT_EQ(buffer.Data()[size - 1], 0);
        buffer.Data()[size - 1] = 7;
        unsigned char* const data = buffer.Data();
        PageBuffer moved(std::move(buffer));
        EXPECT_EQ(buffer.Data(), nullptr);
        EXPECT_EQ(buffer.Size(), 0u);
        EXPECT_EQ(moved.Data(), data);
        EXPECT_EQ(moved.Data()[size - 1], 7);
        moved = PageBuffer();
        EXPECT_EQ(moved.Data(), nullptr);
    }
    EXPECT_EQ(PageBuffer(0).Data(), nullptr);
}
