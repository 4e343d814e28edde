#include "tools/listing-sim/ListingPicture.h"

#include "tools/listing-sim/PngEncoder.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace pelimo::sim {
namespace {

// Digits in a 3 x 5 cell, one row of three bits per entry, left pixel highest.
constexpr std::array<std::array<uint8_t, 5>, 10> kDigits = {{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 1, 1, 1},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};
constexpr int kDigitScale = 3;
constexpr int kDigitAdvance = 4 * kDigitScale;
constexpr size_t kLabelDigits = 6;

uint32_t hashOf(std::string_view text)
{
    uint32_t h = 2166136261u; // FNV-1a
    for (const unsigned char c : text)
        h = (h ^ c) * 16777619u;
    return h;
}

// hue in degrees, saturation and value in 0..1.
uint32_t fromHsv(int hue, double saturation, double value)
{
    const double c = value * saturation;
    const double h = (hue % 360) / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    const double m = value - c;
    auto channel = [m](double v) {
        return static_cast<uint32_t>(std::lround((v + m) * 255));
    };
    return channel(r) << 16 | channel(g) << 8 | channel(b);
}

bool inPattern(int pattern, int period, int x, int y)
{
    const int half = period / 2;
    switch (pattern) {
    case 0:
        return (y / half) % 2 == 0;
    case 1:
        return (x / half) % 2 == 0;
    case 2:
        return ((x + y) / half) % 2 == 0;
    default:
        return (x / period + y / period) % 2 == 0;
    }
}

void fill(RgbImage& image, int left, int top, int width, int height, uint32_t rgb)
{
    for (int y = top; y < top + height && y < image.height; ++y)
        for (int x = left; x < left + width && x < image.width; ++x)
            image.set(x, y, rgb);
}

void drawLabel(RgbImage& image, std::string_view itemNo, uint32_t ink)
{
    std::string digits;
    for (const char c : itemNo)
        if (c >= '0' && c <= '9')
            digits += c;
    if (digits.size() > kLabelDigits)
        digits.erase(0, digits.size() - kLabelDigits);
    if (digits.empty())
        return;
    const int width = static_cast<int>(digits.size()) * kDigitAdvance - kDigitScale;
    const int left = (image.width - width) / 2;
    const int top = image.height - 5 * kDigitScale - 6;
    fill(image, left - 4, top - 4, width + 8, 5 * kDigitScale + 8, 0xFFFFFF);
    for (size_t i = 0; i < digits.size(); ++i) {
        const auto& glyph = kDigits[static_cast<size_t>(digits[i] - '0')];
        for (int row = 0; row < 5; ++row)
            for (int column = 0; column < 3; ++column)
                if (glyph[static_cast<size_t>(row)] & (4 >> column))
                    fill(image, left + static_cast<int>(i) * kDigitAdvance + column * kDigitScale,
                         top + row * kDigitScale, kDigitScale, kDigitScale, ink);
    }
}

} // namespace

std::string listingPicture(std::string_view itemNo)
{
    const uint32_t h = hashOf(itemNo);
    const int hue = static_cast<int>(h % 360);
    const uint32_t background = fromHsv(hue, 0.22, 0.98);
    const uint32_t stripes = fromHsv(hue + 20, 0.45, 0.9);
    const uint32_t disc = fromHsv(hue + 150, 0.65, 0.75);
    const uint32_t ink = fromHsv(hue, 0.8, 0.35);
    const int pattern = static_cast<int>((h >> 9) % 4);
    const int period = 8 + static_cast<int>((h >> 12) % 10);
    const int radius = 16 + static_cast<int>((h >> 17) % 10);
    const int centreX = 30 + static_cast<int>((h >> 22) % 60);
    const int centreY = 32;

    RgbImage image(kPictureWidth, kPictureHeight);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const int dx = x - centreX;
            const int dy = y - centreY;
            if (dx * dx + dy * dy < radius * radius + radius)
                image.set(x, y, disc);
            else
                image.set(x, y, inPattern(pattern, period, x, y) ? stripes : background);
        }
    drawLabel(image, itemNo, ink);
    return encodePng(image);
}

const std::string& oversizedPicture()
{
    static const std::string png = [] {
        RgbImage image(1024, 1024);
        uint32_t state = 12345;
        for (uint8_t& byte : image.pixels) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(state >> 24);
        }
        return encodePng(image, 0);
    }();
    return png;
}

} // namespace pelimo::sim
