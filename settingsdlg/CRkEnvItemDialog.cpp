#include "settingsdlg/CRkEnvItemDialog.h"

#include "listing/QtColour.h"
#include "platform/qt/QtText.h"
#include "settingsdlg/CRkColorButton.h"
#include "settingsdlg/PageLayout.h"
#include "settingsdlg_texts.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>

namespace pelimo {

namespace {

using namespace settingsdlg_texts;
using platform::toQString;

// Row names in the order of the colour pairs.
constexpr const char* kRowNames[kTypeColourCount] = {kTypeOrdinary, kTypeMultiple, kTypeImmediate, kTypeGroup,
                                                     kTypeFixed};

constexpr int kRowTop = 36;
constexpr int kRowPitch = 24;

} // namespace

CRkEnvItemDialog::CRkEnvItemDialog(const EnvSettings& settings, QWidget* parent)
    : QWidget(parent), colours(settings.typeColours)
{
    setObjectName(QStringLiteral("coloursPage"));
    setFont(dialogFont());
    PageLayout layout(this);

    auto* group = new QGroupBox(toQString(kListColours), this);
    layout.add(group, 6, 6, 246, kRowTop + kRowPitch * 5);
    auto* backHeading = new QLabel(toQString(kBackColour), this);
    auto* textHeading = new QLabel(toQString(kTextColour), this);
    for (QLabel* heading : {backHeading, textHeading})
        heading->setAlignment(Qt::AlignHCenter);
    layout.add(backHeading, 142, 22, 36, 9);
    layout.add(textHeading, 192, 22, 36, 9);

    for (size_t row = 0; row < kTypeColourCount; ++row) {
        const int top = kRowTop + kRowPitch * static_cast<int>(row);
        const QString index = QString::number(row);

        auto* preview = new QTextEdit(this);
        preview->setObjectName(QStringLiteral("preview") + index);
        preview->setReadOnly(true);
        preview->setTextInteractionFlags(Qt::NoTextInteraction);
        preview->setFocusPolicy(Qt::NoFocus);
        preview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        preview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        preview->setLineWrapMode(QTextEdit::NoWrap);
        QFont previewFont = font();
        previewFont.setPointSize(11);
        preview->setFont(previewFont);
        layout.add(preview, 20, top, 104, 18);
        // The name sits in the middle of the field, vertically as well.
        const int spare =
            layout.units().y(18) - 2 * preview->frameWidth() - QFontMetrics(previewFont).height();
        preview->document()->setDocumentMargin(std::max(1, spare / 2));
        previews[row] = preview;

        auto* back = new CRkColorButton(this);
        back->setObjectName(QStringLiteral("backColour") + index);
        layout.add(back, 142, top + 1, 36, 16);
        back->setColour(colours[row].back);
        connect(back, &CRkColorButton::colourPicked, this, [this, row](ColourRef c) {
            colours[row].back = c;
            recolourPreview(row);
        });
        backButtons[row] = back;

        auto* text = new CRkColorButton(this);
        text->setObjectName(QStringLiteral("textColour") + index);
        layout.add(text, 192, top + 1, 36, 16);
        text->setColour(colours[row].text);
        connect(text, &CRkColorButton::colourPicked, this, [this, row](ColourRef c) {
            colours[row].text = c;
            recolourPreview(row);
        });
        textButtons[row] = text;

        recolourPreview(row);
    }
    layout.apply();
}

void CRkEnvItemDialog::recolourPreview(size_t row)
{
    QTextEdit* preview = previews[row];
    const QColor text = toQColor(colours[row].text);
    const QColor back = toQColor(colours[row].back);

    QPalette palette = preview->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, back);
        palette.setColor(group, QPalette::Text, text);
    }
    preview->setPalette(palette);

    preview->setPlainText(toQString(kRowNames[row]));
    QTextCursor cursor(preview->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat block;
    block.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(block);
    QTextCharFormat character;
    character.setForeground(text);
    cursor.mergeCharFormat(character);
}

void CRkEnvItemDialog::copyTo(EnvSettings& settings) const
{
    settings.typeColours = colours;
}

} // namespace pelimo
