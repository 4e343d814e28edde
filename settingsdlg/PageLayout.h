#pragma once

#include "settingsdlg/DialogUnits.h"

#include <QRect>
#include <vector>

class QWidget;

namespace pelimo {

// The frame's tab control width in dialog units and the pages' insets inside it in pixels: the
// pages lay themselves out against the width this leaves.
inline constexpr int kTabWidthUnits = 266;
inline constexpr int kPageInsetSide = 10;
inline constexpr int kPageInsetTop = 20;
int pageWidth(const DialogUnits& du);

// Places a page's controls at their dialog-unit rectangles, then makes every text show whole in
// the page's font. Labels, check boxes, radio buttons and push buttons grow to their text; a
// control after a grown one on the same row moves right (a field that would then run past its
// group box gives up width instead); a text still too wide for its group box wraps onto more
// lines, and whatever lies below moves down, with group boxes growing only when their own
// bottom margin cannot take it.
class PageLayout {
public:
    // Measures with the page's font, so set that first.
    explicit PageLayout(QWidget* page);

    const DialogUnits& units() const { return du; }

    template <typename T> T* place(T* widget, int left, int top, int width, int height)
    {
        add(widget, left, top, width, height);
        return widget;
    }
    void add(QWidget* widget, int left, int top, int width, int height);
    // Sets every control's final geometry; call once, after the last control is placed.
    void apply();

private:
    struct Item {
        QWidget* widget;
        QRect original;
        QRect rect;
        bool frame;
        int container = -1;
    };

    void fitWidths();
    void moveDown();
    int rightLimit(const Item& item) const;

    DialogUnits du;
    int width;
    std::vector<Item> items;
};

} // namespace pelimo
