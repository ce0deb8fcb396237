#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/MappedFile.h"
#include "platform/TemporaryFolder.h"

TEST(MappedFileTest, MapsTheFileBytesKeepsThemThroughDiscardAndMoves) {
    TemporaryFolder folder("kzvmapped");
    const std::string path = folder.Path() + "/data.bin";
    std::string bytes(3 * 4096 + 123, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 4096);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    MappedFile mapped = MappedFile::Map(file, bytes.size());
    std::fclose(file); // the mapping outlives the stream
    ASSERT_NE(mapped.Data(), nullptr);
    EXPECT_EQ(mapped.Size(), bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped.Data()), mapped.Size()), bytes);

    // Pages taken out of memory read as the file again, not as zeros.
    mapped.Discard(1, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped.Data()), mapped.Size()), bytes);

    const unsigned char* const data = mapped.Data();
    MappedFile moved(std::move(mapped));
    EXPECT_EQ(mapped.Data(), nullptr);
    EXPECT_EQ(moved.Data(), data);
    EXPECT_EQ(moved.Data()[bytes.size() - 1], static_cast<unsigned char>(bytes.back()));
    moved = MappedFile();
    EXPECT_EQ(moved.Data(), nullptr);

    // Nothing to map: an empty file, no file.
    std::FILE* empty = std::fopen((folder.Path() + "/empty.bin").c_str(), "wb+");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(MappedFile::Map(empty, 0).Data(), nullptr);
    std::fclose(empty);
    EXPECT_EQ(MappedFile::Map(nullptr, 10).Data(), nullptr);
}

TEST(MappedFileTest, AFileShortenedWhileMappedReadsAsZerosAndIsMarkedChanged) {
    TemporaryFolder folder("kzvmapped");
    const std::string path = folder.Path() + "/data.bin";
    const std::string bytes(3 * 4096 + 5, 'x');
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    MappedFile mapped = MappedFile::Map(file, bytes.size());
    std::fclose(file);
    ASSERT_NE(mapped.Data(), nullptr);
    EXPECT_FALSE(mapped.Changed());

    // Another program cuts the file to one page: the pages past it are gone from the file.
    std::filesystem::resize_file(path, 4096);
    EXPECT_EQ(mapped.Data()[2 * 4096 + 3], 0);
    EXPECT_EQ(mapped.Data()[bytes.size() - 1], 0);
    EXPECT_EQ(mapped.Data()[10], 'x');
    EXPECT_TRUE(mapped.Changed());
    const MappedFile moved(std::move(mapped));
    EXPECT_TRUE(moved.Changed());
    // A new mapping starts unmarked.
    file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(MappedFile::Map(file, 4096).Changed());
    std::fclose(file);
}
