#include "settingsdlg/PageLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTextLayout>
#include <QWidget>
#include <algorithm>
#include <numeric>

namespace pelimo {

namespace {

// Controls that carry a text on one line unless it is broken: check boxes and radio buttons.
QAbstractButton* choiceButton(QWidget* widget)
{
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget))
        return static_cast<QAbstractButton*>(widget);
    return nullptr;
}

// How much of a text fits on a line of the given width where Japanese line breaking allows a
// break; after a closing bracket or a comma is preferred when that keeps at least half the line.
qsizetype fittingLength(const QString& text, const QFont& font, int width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(width);
    const qsizetype length = std::max<qsizetype>(1, line.textLength());
    layout.endLayout();
    if (length >= text.size())
        return text.size();
    const QString closing = QStringLiteral("）」』】、。，．)!?");
    const QString opening = QStringLiteral("（「『【(");
    for (qsizetype k = length; k > length / 2; --k) {
        if (closing.contains(text[k - 1]) || opening.contains(text[k]))
            return k;
    }
    return length;
}

// Breaks a text into lines no wider than width. A line that starts with blanks continues the
// one before it, and the lines it is broken into keep that indent.
QString brokenText(const QString& text, const QFont& font, int width)
{
    struct Paragraph {
        QString text;
        QString indent;
    };
    std::vector<Paragraph> paragraphs;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        qsizetype blanks = 0;
        while (blanks < line.size() && line[blanks].isSpace())
            ++blanks;
        if (blanks > 0 && !paragraphs.empty()) {
            paragraphs.back().text += line.mid(blanks);
            paragraphs.back().indent = line.left(blanks);
        } else {
            paragraphs.push_back({line, {}});
        }
    }
    const QFontMetrics metrics(font);
    QStringList lines;
    for (const Paragraph& paragraph : paragraphs) {
        const int indentWidth = metrics.horizontalAdvance(paragraph.indent);
        QString rest = paragraph.text;
        bool first = true;
        do {
            const qsizetype length = fittingLength(rest, font, first ? width : width - indentWidth);
            lines << (first ? QString() : paragraph.indent) + rest.left(length).trimmed();
            rest = rest.mid(length).trimmed();
            first = false;
        } while (!rest.isEmpty());
    }
    return lines.join(QLatin1Char('\n'));
}

int bottomOf(const QRect& r)
{
    return r.top() + r.height();
}

int rightOf(const QRect& r)
{
    return r.left() + r.width();
}

bool sharesRow(const QRect& a, const QRect& b)
{
    return a.top() < bottomOf(b) && b.top() < bottomOf(a);
}

} // namespace

int pageWidth(const DialogUnits& du)
{
    return du.x(kTabWidthUnits) - 2 * kPageInsetSide;
}

PageLayout::PageLayout(QWidget* page) : du(page->font()), width(pageWidth(du)) {}

void PageLayout::add(QWidget* widget, int left, int top, int w, int h)
{
    const QRect r = du.rect(left, top, w, h);
    items.push_back({widget, r, r, qobject_cast<QGroupBox*>(widget) != nullptr});
}

void PageLayout::apply()
{
    // Each control belongs to the smallest group box around it, or to the page.
    for (Item& item : items) {
        for (size_t f = 0; f < items.size(); ++f) {
            const Item& frame = items[f];
            if (!frame.frame || &frame == &item || !frame.original.contains(item.original))
                continue;
            if (item.container < 0 ||
                items[static_cast<size_t>(item.container)].original.contains(frame.original))
                item.container = static_cast<int>(f);
        }
    }
    fitWidths();
    moveDown();
    for (Item& item : items) {
        item.widget->setGeometry(item.rect);
        // The frames only draw; the controls inside must stay on top of them.
        if (item.frame)
            item.widget->lower();
    }
}

int PageLayout::rightLimit(const Item& item) const
{
    if (item.container < 0)
        return width - du.x(2);
    return rightOf(items[static_cast<size_t>(item.container)].original) - du.x(4);
}

void PageLayout::fitWidths()
{
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return items[a].original.left() < items[b].original.left();
    });

    std::vector<size_t> done;
    for (size_t i : order) {
        Item& item = items[i];
        if (item.frame)
            continue;
        // Keep the gap to whatever stands before it on the row, up to a few units, once that
        // has grown.
        int left = item.original.left();
        for (size_t j : done) {
            const Item& before = items[j];
            if (before.container != item.container || !sharesRow(before.original, item.original) ||
                rightOf(before.original) > item.original.left())
                continue;
            const int gap = std::clamp(item.original.left() - rightOf(before.original), 0, du.x(3));
            left = std::max(left, rightOf(before.rect) + gap);
        }
        const int limit = rightLimit(item);
        auto* label = qobject_cast<QLabel*>(item.widget);
        QAbstractButton* choice = choiceButton(item.widget);
        int w = item.original.width();
        int h = item.original.height();
        if (label || choice) {
            w = std::max(w, item.widget->sizeHint().width());
            if (left + w > limit) {
                // Too wide even up to the group box's edge: the text goes onto more lines.
                w = std::max(limit - left, item.original.width());
                const QString text = label ? label->text() : choice->text();
                const int chrome =
                    item.widget->sizeHint().width() - QFontMetrics(item.widget->font()).size(0, text).width();
                const QString broken = brokenText(text, item.widget->font(), w - chrome);
                if (label)
                    label->setText(broken);
                else
                    choice->setText(broken);
                h = std::max(h, item.widget->sizeHint().height());
            }
        } else if (left + w > limit) {
            // A field moved right gives up width rather than leave its group box.
            w = std::max(limit - left, du.x(8));
        }
        item.rect = QRect(left, item.original.top(), w, h);
        done.push_back(i);
    }
}

void PageLayout::moveDown()
{
    // By original bottom, so everything above a control, and everything inside a group box, is
    // settled before it.
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        const QRect& ra = items[a].original;
        const QRect& rb = items[b].original;
        if (bottomOf(ra) != bottomOf(rb))
            return bottomOf(ra) < bottomOf(rb);
        return ra.width() * ra.height() < rb.width() * rb.height();
    });

    std::vector<size_t> done;
    for (size_t i : order) {
        Item& item = items[i];
        int shift = 0;
        for (size_t j : done) {
            const Item& above = items[j];
            if (bottomOf(above.original) <= item.original.top())
                shift = std::max(shift, bottomOf(above.rect) - bottomOf(above.original));
        }
        item.rect.moveTop(item.original.top() + shift);
        if (item.frame) {
            // A group box keeps up to a few units below its lowest control and grows only when
            // its controls have moved further down than that.
            int lowest = 0;
            int lowestOriginal = 0;
            for (size_t c : done) {
                if (items[c].container != static_cast<int>(i))
                    continue;
                lowest = std::max(lowest, bottomOf(items[c].rect));
                lowestOriginal = std::max(lowestOriginal, bottomOf(items[c].original));
            }
            const int margin = std::min(bottomOf(item.original) - lowestOriginal, du.y(4));
            const int bottom = std::max(bottomOf(item.rect), lowest + margin);
            item.rect.setHeight(bottom - item.rect.top());
        }
        done.push_back(i);
    }
}

} // namespace pelimo
