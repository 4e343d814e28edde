#include "app/WindowLayout.h"

#include <algorithm>
#include <charconv>

namespace pelimo {

namespace {

// The integers of a comma-separated list; nothing when any part is not one.
std::optional<std::vector<int>> integers(std::string_view text)
{
    std::vector<int> out;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        int value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (error != std::errc() || end != part.data() + part.size())
            return std::nullopt;
        out.push_back(value);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return out;
}

// Sizes in pixels: none at all when any is not a number or is negative.
std::vector<int> sizes(std::string_view text)
{
    const auto v = integers(text);
    if (!v || std::any_of(v->begin(), v->end(), [](int size) { return size < 0; }))
        return {};
    return *v;
}

std::string joined(const std::vector<int>& values)
{
    std::string out;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += ',';
        out += std::to_string(values[i]);
    }
    return out;
}

// A line holds no line break, whatever the value held.
std::string oneLine(std::string_view value)
{
    std::string out(value);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return out;
}

} // namespace

std::string formatWindowLayout(const WindowLayout& layout)
{
    std::string out;
    const auto line = [&out](std::string_view key, std::string_view value) {
        out.append(key).append("=").append(oneLine(value)).append("\n");
    };
    if (layout.geometry) {
        const ScreenRect& g = *layout.geometry;
        line("geometry", joined({g.x, g.y, g.width, g.height}));
    }
    line("maximized", layout.maximized ? "1" : "0");
    if (!layout.splitterSizes.empty())
        line("splitter", joined(layout.splitterSizes));
    if (!layout.watchColumns.empty())
        line("watchColumns", joined(layout.watchColumns));
    if (!layout.resultColumns.empty())
        line("resultColumns", joined(layout.resultColumns));
    line("pane", std::to_string(layout.paneMode));
    if (layout.watchSortColumn)
        line("watchSort", joined({*layout.watchSortColumn, layout.watchSortDescending ? 1 : 0}));
    if (layout.typeFlags)
        line("types", *layout.typeFlags);
    line("lotNumber", layout.lotNumber ? "1" : "0");
    line("priceLow", layout.priceLow);
    line("priceHigh", layout.priceHigh);
    return out;
}

WindowLayout parseWindowLayout(std::string_view text)
{
    WindowLayout layout;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r')
            row.remove_suffix(1);
        const size_t equals = row.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = row.substr(0, equals);
        const std::string_view value = row.substr(equals + 1);
        if (key == "geometry") {
            const auto v = integers(value);
            if (v && v->size() == 4 && (*v)[2] > 0 && (*v)[3] > 0)
                layout.geometry = ScreenRect{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
        } else if (key == "maximized") {
            layout.maximized = value == "1";
        } else if (key == "splitter") {
            layout.splitterSizes = sizes(value);
        } else if (key == "watchColumns") {
            layout.watchColumns = sizes(value);
        } else if (key == "resultColumns") {
            layout.resultColumns = sizes(value);
        } else if (key == "pane") {
            layout.paneMode = value == "1" ? 1 : value == "2" ? 2 : 0;
        } else if (key == "watchSort") {
            const auto v = integers(value);
            if (v && v->size() == 2 && (*v)[0] >= 0 && ((*v)[1] == 0 || (*v)[1] == 1)) {
                layout.watchSortColumn = (*v)[0];
                layout.watchSortDescending = (*v)[1] == 1;
            }
        } else if (key == "types") {
            if (!value.empty() && value.find_first_not_of("01") == std::string_view::npos)
                layout.typeFlags = std::string(value);
        } else if (key == "lotNumber") {
            layout.lotNumber = value == "1";
        } else if (key == "priceLow") {
            layout.priceLow = value;
        } else if (key == "priceHigh") {
            layout.priceHigh = value;
        }
    }
    return layout;
}

bool fitsAnyScreen(const ScreenRect& frame, const std::vector<ScreenRect>& screens)
{
    // The strip along the top that the title bar takes, and how much of it must show for
    // the window to be grabbed and moved.
    constexpr int kGripHeight = 20;
    constexpr int kGripWidth = 100;
    if (frame.width <= 0 || frame.height <= 0)
        return false;
    for (const ScreenRect& s : screens) {
        const int left = std::max(frame.x, s.x);
        const int right = std::min(frame.x + frame.width, s.x + s.width);
        const int top = std::max(frame.y, s.y);
        const int bottom = std::min(frame.y + kGripHeight, s.y + s.height);
        if (right - left >= std::min(kGripWidth, frame.width) && bottom - top >= kGripHeight / 2)
            return true;
    }
    return false;
}

} // namespace pelimo
