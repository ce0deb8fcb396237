// Pictures that kzvtool render writes, compared with expected pictures a person has looked at
// (tests/images/NAME.png). A new or changed picture is accepted with scripts/accept-images
// after looking at BUILD/test-output/images/NAME.actual.png.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/ImageCompare.h"

namespace {

namespace fs = std::filesystem;

struct ImageCase {
    const char* name;
    const char* scene; // relative to the source folder
    const char* options;
};

const ImageCase Cases[] = {
    {"showcase_start", "data/samples/showcase.kzv", ""},
    {"showcase_1_5s", "data/samples/showcase.kzv", "--at 1.5"},
    {"showcase_wire", "data/samples/showcase.kzv", "--shading wire"},
    {"showcase_point", "data/samples/showcase.kzv", "--shading point"},
    {"showcase_mirror_off", "data/samples/showcase.kzv", "--mirror 0"},
    {"showcase_free_unlit", "data/samples/showcase.kzv",
     "--camera free --lighting 0 --background 0xFF402010"},
    {"skinned_start", "data/samples/skinned.kzv", ""},
    {"skinned_1s", "data/samples/skinned.kzv", "--at 1"},
    {"fog_start", "data/samples/fog.kzv", ""},
    {"fog_2s", "data/samples/fog.kzv", "--at 2"},
    {"features", "tests/images/scenes/features.kzv", ""},
    {"markers", "tests/images/scenes/markers.kzv", ""},
};

class RenderImage : public ::testing::TestWithParam<ImageCase> {};

TEST_P(RenderImage, MatchesTheExpectedPicture) {
    const ImageCase& c = GetParam();
    const fs::path source = KZV_SOURCE_DIR;
    const fs::path output = fs::path(KZV_BINARY_DIR) / "test-output" / "images";
    fs::create_directories(output);
    const fs::path actual = output / (std::string(c.name) + ".png");
    fs::remove(actual);
    const std::string command = std::string(KZV_BINARY_DIR) + "/bin/kzvtool render --size 160x120 " +
                                c.options + " -o '" + actual.string() + "' '" + (source / c.scene).string() +
                                "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const ImageComparison result = CompareImages(
        actual.string(), (source / "tests" / "images" / (std::string(c.name) + ".png")).string(), c.name,
        output.string(), 16, 160 * 120 / 400);
    EXPECT_TRUE(result.passed) << c.name << ": " << result.message;
}

INSTANTIATE_TEST_SUITE_P(Scenes, RenderImage, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<ImageCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
