#include "app/WindowLayout.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

TEST(WindowLayout, WhatIsWrittenReadsBackTheSame)
{
    WindowLayout layout;
    layout.geometry = ScreenRect{-1200, 40, 1024, 700};
    layout.maximized = true;
    layout.splitterSizes = {310, 0};
    layout.watchColumns = {120, 300, 80, 80, 80, 80, 80};
    layout.resultColumns = {130, 280};
    layout.paneMode = 2;
    layout.watchSortColumn = 2;
    layout.watchSortDescending = true;
    layout.typeFlags = "10110";
    layout.lotNumber = true;
    layout.priceLow = "３，０００円";
    layout.priceHigh = "a=b";
    EXPECT_EQ(parseWindowLayout(formatWindowLayout(layout)), layout);
    EXPECT_EQ(parseWindowLayout(formatWindowLayout(WindowLayout{})), WindowLayout{});
}

TEST(WindowLayout, DamagedLinesLeaveTheirPartsAtTheDefaults)
{
    const WindowLayout read = parseWindowLayout("geometry=10,20,0,300\n"  // no width
                                                "splitter=200,-5\n"       // a negative size
                                                "watchColumns=100,x,80\n" // not a number
                                                "types=11a11\n"           // not a flag
                                                "pane=7\n"                // no such pane
                                                "watchSort=2,5\n"         // no such direction
                                                "no equals sign here\n"
                                                "unknownKey=1\r\n"
                                                "resultColumns=90,91\r\n"
                                                "priceHigh=5000\r\n"
                                                "\n");
    EXPECT_FALSE(read.geometry.has_value());
    EXPECT_TRUE(read.splitterSizes.empty());
    EXPECT_TRUE(read.watchColumns.empty());
    EXPECT_FALSE(read.typeFlags.has_value());
    EXPECT_EQ(read.paneMode, 0);
    EXPECT_FALSE(read.watchSortColumn.has_value());
    EXPECT_EQ(read.resultColumns, (std::vector<int>{90, 91}));
    EXPECT_EQ(read.priceHigh, "5000") << "the line's carriage return is not part of the value";
}

TEST(WindowLayout, AFrameMustShowItsTopOnAScreenThatIsThere)
{
    const std::vector<ScreenRect> one{{0, 0, 1920, 1080}};
    const std::vector<ScreenRect> two{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Case {
        ScreenRect frame;
        const std::vector<ScreenRect>* screens;
        bool fits;
    };
    const Case cases[] = {
        {{100, 50, 800, 650}, &one, true},     {{2000, 100, 800, 650}, &two, true}, // on the second screen
        {{2000, 100, 800, 650}, &one, false},                                       // that screen is gone
        {{1880, 100, 800, 650}, &one, false},  // only 40 px of the title bar show
        {{-700, 100, 800, 650}, &one, true},   // 100 px of it do
        {{100, -640, 800, 650}, &one, false},  // the title bar above the screen
        {{100, 1075, 800, 650}, &one, false},  // below it
        {{100, 50, 800, 650}, nullptr, false}, // no screen at all
    };
    const std::vector<ScreenRect> none;
    for (const Case& c : cases) {
        EXPECT_EQ(fitsAnyScreen(c.frame, c.screens ? *c.screens : none), c.fits)
            << c.frame.x << "," << c.frame.y << " " << c.frame.width << "x" << c.frame.height;
    }
}

} // namespace
} // namespace pelimo
