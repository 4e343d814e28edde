#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelimo::sim {

// An 8-bit RGB picture, rows top to bottom.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width * height * 3

    RgbImage(int width, int height)
        : width(width), height(height), pixels(static_cast<size_t>(width) * height * 3)
    {}
    void set(int x, int y, uint32_t rgb)
    {
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = static_cast<uint8_t>(rgb >> 16);
        p[1] = static_cast<uint8_t>(rgb >> 8);
        p[2] = static_cast<uint8_t>(rgb);
    }
};

// The picture as a PNG file: signature, IHDR, one IDAT compressed at the zlib level given
// (0 stores it), IEND.
std::string encodePng(const RgbImage& image, int level = 9);

} // namespace pelimo::sim
