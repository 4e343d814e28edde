#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// A rectangle in screen pixels.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenRect&) const = default;
};

// How the user left the window: kept at exit in a file of the program's own beside env.ini
// and laid out again at the next start.
struct WindowLayout {
    std::optional<ScreenRect> geometry; // the window's frame when it was neither maximised nor hidden
    bool maximized = false;
    std::vector<int> splitterSizes;
    // Column widths in pixels, in column order: the watch list's, and the last result list's
    // for the lists to come. A list with other columns takes those it has.
    std::vector<int> watchColumns;
    std::vector<int> resultColumns;
    int paneMode = 0; // 0 search results, 1 alert, 2 ended listings
    // The watch list's sort: its column (none when never sorted) and whether descending.
    std::optional<int> watchSortColumn;
    bool watchSortDescending = false;
    // The command bar's options, not its keyword.
    std::optional<std::string> typeFlags; // "11111", one digit per type box in id order
    bool lotNumber = false;
    std::string priceLow; // UTF-8, as typed
    std::string priceHigh;

    bool operator==(const WindowLayout&) const = default;
};

// The file's name in the data folder.
inline constexpr std::string_view kWindowLayoutFile = "WindowLayout.ini";

// "key=value" lines. Unknown keys and broken lines are skipped, so
// an older or damaged file lays out what it can and leaves the rest at the defaults.
std::string formatWindowLayout(const WindowLayout& layout);
WindowLayout parseWindowLayout(std::string_view text);

// Whether a window frame can be used on these screens: at least a grip of its title bar
// (a strip along its top) lies on one of them. A frame left on a screen that is gone is not.
bool fitsAnyScreen(const ScreenRect& frame, const std::vector<ScreenRect>& screens);

} // namespace pelimo
