#include "support/ImageCompare.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/d3dx/ImageCodec.h"
#include "platform/d3dx/ImageCodecWrite.h"

namespace {

bool ReadImage(const std::string& path, PixelImage& image) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DecodedImage decoded;
    if (DecodeImage(bytes.data(), bytes.size(), decoded) != ImageStatus::Ok || decoded.levels.empty())
        return false;
    image = decoded.levels[0];
    return true;
}

bool WritePng(const std::string& path, const PixelImage& image) {
    std::vector<uint8_t> bytes;
    if (!EncodeImageFile(ImageFileKind::Png, image, false, bytes)) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int Channel(uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFF);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8)
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
    return true;
}

} // namespace

ImageComparison CompareImages(const std::string& actualPath, const std::string& expectedPath,
                              const std::string& name, const std::string& outputDir, int tolerance,
                              int maxDiffering) {
    ImageComparison result;
    PixelImage actual, expected;
    if (!ReadImage(actualPath, actual)) {
        result.message = "no readable picture at " + actualPath;
        return result;
    }
    const std::string actualCopy = outputDir + "/" + name + ".actual.png";
    if (!ReadImage(expectedPath, expected)) {
        WritePng(actualCopy, actual);
        result.message = "no expected picture " + expectedPath + "; look at " + actualCopy +
                         " and accept it with scripts/accept-images " + name;
        return result;
    }
    if (actual.width != expected.width || actual.height != expected.height) {
        WritePng(actualCopy, actual);
        result.message = "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) +
                         " instead of " + std::to_string(expected.width) + "x" +
                         std::to_string(expected.height);
        return result;
    }
    PixelImage diff = expected;
    for (std::size_t i = 0; i < actual.pixels.size(); ++i) {
        if (Near(actual.pixels[i], expected.pixels[i], tolerance)) {
            const uint32_t p = expected.pixels[i];
            diff.pixels[i] = 0xFF000000u | ((p >> 2) & 0x3F3F3Fu);
        } else {
            diff.pixels[i] = 0xFFFF0000u;
            ++result.differing;
        }
    }
    result.passed = result.differing <= maxDiffering;
    if (!result.passed) {
        const std::string diffPath = outputDir + "/" + name + ".diff.png";
        WritePng(actualCopy, actual);
        WritePng(diffPath, diff);
        result.message = std::to_string(result.differing) + " pixels differ by more than " +
                         std::to_string(tolerance) + " (at most " + std::to_string(maxDiffering) +
                         " may); see " + actualCopy + " and " + diffPath;
    }
    return result;
}
