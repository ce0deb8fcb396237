#pragma once

#include <cstdint>
#include <string>

// Comparison of a rendered picture with an expected one: each pixel may differ by `tolerance`
// in each of red, green and blue; at most `maxDiffering` pixels may differ by more. On failure
// the actual picture and a diff picture (differing pixels red on a dimmed copy of the
// expected one) are written to outputDir as NAME.actual.png and NAME.diff.png.
struct ImageComparison {
    bool passed = false;
    std::string message; // why it failed, with the paths of the written pictures
    int differing = 0;
};

ImageComparison CompareImages(const std::string& actualPath, const std::string& expectedPath,
                              const std::string& name, const std::string& outputDir, int tolerance,
                              int maxDiffering);
