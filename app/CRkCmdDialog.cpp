#include "app/CRkCmdDialog.h"

#include "AppTexts.h"
#include "app/CRkFormView.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"
#include "settingsdlg/CRkEnvDialg.h"
#include "settingsdlg/DialogUnits.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <type_traits>
#include <vector>

namespace pelimo {

namespace {

QString qs(const char* sjis)
{
    return platform::toQString(sjis);
}

// The bar's own font; a Japanese sans face stands in where the original one is missing.
QFont barFont()
{
    QFont font;
    font.setFamilies(
        {qs(app_text::kBarFontFamily), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans CJK")});
    font.setPointSize(9);
    return font;
}

} // namespace

CRkCmdDialog::CRkCmdDialog(EnvSettings& settings, CRkFormView* formView, QWidget* parent)
    : QWidget(parent), settings(settings), formView(formView)
{
    setFont(barFont());

    // Created in tab order, which is the order of the controls in the layout.
    place(new QLabel(qs(app_text::kKeywordLabel), this), 6, 5, 49, 8);
    keyword = place(new QLineEdit(this), 5, 16, 119, 14);
    lotNumber = place(new QCheckBox(qs(app_text::kLotNumberBox), this), 61, 5, 86, 9);
    search = place(new QPushButton(qs(app_text::kSearchButton), this), 126, 16, 33, 14);
    place(new QGroupBox(qs(app_text::kTypeGroup), this), 169, 3, 186, 28);
    // In id order (1004..1008); on screen group purchase comes before fixed price.
    types[static_cast<size_t>(TypeBox::ordinary)] =
        place(new QCheckBox(qs(app_text::kTypeOrdinary), this), 175, 15, 27, 10);
    types[static_cast<size_t>(TypeBox::multiple)] =
        place(new QCheckBox(qs(app_text::kTypeMultiple), this), 204, 15, 26, 10);
    types[static_cast<size_t>(TypeBox::immediate)] =
        place(new QCheckBox(qs(app_text::kTypeImmediate), this), 232, 15, 25, 10);
    types[static_cast<size_t>(TypeBox::groupPurchase)] =
        place(new QCheckBox(qs(app_text::kTypeGroupPurchase), this), 264, 15, 43, 10);
    types[static_cast<size_t>(TypeBox::fixedPrice)] =
        place(new QCheckBox(qs(app_text::kTypeFixedPrice), this), 308, 15, 43, 10);
    place(new QGroupBox(qs(app_text::kPriceGroup), this), 169, 33, 186, 28);
    priceLow = place(new QLineEdit(this), 175, 44, 39, 12);
    place(new QLabel(qs(app_text::kPriceBetween), this), 216, 48, 22, 8);
    priceHigh = place(new QLineEdit(this), 239, 44, 39, 12);
    place(new QLabel(qs(app_text::kPriceYen), this), 283, 48, 10, 8);
    // Words whose listings the search leaves out, at the right end of the keyword's row.
    place(new QLabel(qs(app_text::kExcludeLabel), this), 360, 5, 40, 8);
    exclude = place(new QLineEdit(this), 359, 16, 50, 14);
    results = place(new QPushButton(qs(app_text::kModeResults), this), 5, 43, 46, 16);
    alert = place(new QPushButton(qs(app_text::kModeAlert), this), 53, 43, 47, 16);
    archive = place(new QPushButton(qs(app_text::kModeArchive), this), 102, 43, 62, 16);
    settingsOpener = place(new QPushButton(qs(app_text::kSettingsButton), this), 359, 45, 42, 16);

    for (QCheckBox* box : types) {
        box->setChecked(true);
    }
    priceLow->setAlignment(Qt::AlignRight);
    priceHigh->setAlignment(Qt::AlignRight);
    // The group boxes only frame; the controls inside must stay on top of them.
    for (QGroupBox* frame : findChildren<QGroupBox*>()) {
        frame->lower();
    }

    results->setCheckable(true);
    alert->setCheckable(true);
    archive->setCheckable(true);
    modeGroup = new QButtonGroup(this);
    modeGroup->setExclusive(true);
    modeGroup->addButton(results, 0);
    modeGroup->addButton(alert, 1);
    modeGroup->addButton(archive, 2);
    results->setChecked(true);

    connect(search, &QPushButton::clicked, this, &CRkCmdDialog::onSearchButton);
    connect(modeGroup, &QButtonGroup::idClicked, this, &CRkCmdDialog::onPaneModeClicked);
    connect(settingsOpener, &QPushButton::clicked, this, &CRkCmdDialog::onSettingsButton);
    // The Enter key in the bar; the line edits report it themselves and then pass it on, so
    // only they start it here.
    connect(keyword, &QLineEdit::returnPressed, this, &CRkCmdDialog::onEnter);
    connect(priceLow, &QLineEdit::returnPressed, this, &CRkCmdDialog::onEnter);
    connect(priceHigh, &QLineEdit::returnPressed, this, &CRkCmdDialog::onEnter);
    connect(exclude, &QLineEdit::returnPressed, this, &CRkCmdDialog::onEnter);

    // Tab goes through the controls in the order they are seen, left to right and row by row
    // (group purchase before fixed price), and from the last on to the list below.
    tabOrder = {keyword,
                lotNumber,
                search,
                types[static_cast<size_t>(TypeBox::ordinary)],
                types[static_cast<size_t>(TypeBox::multiple)],
                types[static_cast<size_t>(TypeBox::immediate)],
                types[static_cast<size_t>(TypeBox::groupPurchase)],
                types[static_cast<size_t>(TypeBox::fixedPrice)],
                exclude,
                results,
                alert,
                archive,
                priceLow,
                priceHigh,
                settingsOpener};
    for (QWidget* control : tabOrder)
        control->setFocusPolicy(Qt::StrongFocus);
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    resize(fromDialogUnits(0, 0, kWidthUnits, kHeightUnits).size());
    focusBeforeSearch = keyword;
    setFocusProxy(keyword);
}

QRect CRkCmdDialog::fromDialogUnits(const QFont& font, int x, int y, int w, int h)
{
    return DialogUnits(font).rect(x, y, w, h);
}

QRect CRkCmdDialog::fromDialogUnits(int x, int y, int w, int h) const
{
    return fromDialogUnits(font(), x, y, w, h);
}

template <typename T> T* CRkCmdDialog::place(T* control, int x, int y, int w, int h)
{
    QRect area = fromDialogUnits(x, y, w, h);
    // Japanese texts in the stand-in font run wider than their boxes were drawn for; a label
    // or check box grows to its text instead of cutting it (nothing stands to their right).
    if constexpr (std::is_same_v<T, QLabel> || std::is_same_v<T, QCheckBox>)
        area.setWidth(std::max(area.width(), control->sizeHint().width()));
    control->setGeometry(area);
    return control;
}

CommandBarInput CRkCmdDialog::input() const
{
    CommandBarInput in;
    in.keyword = platform::fromQString(keyword->text());
    for (size_t i = 0; i < kTypeBoxCount; ++i) {
        in.typeFlags[i] = types[i]->isChecked() ? 1 : 0;
    }
    in.lotNumberFlag = lotNumber->isChecked() ? 1 : 0;
    in.priceLowText = platform::fromQString(priceLow->text());
    in.priceHighText = platform::fromQString(priceHigh->text());
    in.excludeText = platform::fromQString(exclude->text());
    return in;
}

int32_t CRkCmdDialog::paneMode() const
{
    if (archive->isChecked())
        return 2;
    return alert->isChecked() ? 1 : 0;
}

CommandBarOptions CRkCmdDialog::options() const
{
    CommandBarOptions kept;
    for (const QCheckBox* box : types)
        kept.typeFlags += box->isChecked() ? '1' : '0';
    kept.lotNumber = lotNumber->isChecked();
    kept.priceLow = priceLow->text().toStdString();
    kept.priceHigh = priceHigh->text().toStdString();
    return kept;
}

void CRkCmdDialog::applyOptions(const std::string& typeFlags, bool lot, const std::string& priceLowUtf8,
                                const std::string& priceHighUtf8)
{
    if (typeFlags.size() == types.size()) {
        for (size_t i = 0; i < types.size(); ++i)
            types[i]->setChecked(typeFlags[i] == '1');
    }
    lotNumber->setChecked(lot);
    priceLow->setText(QString::fromStdString(priceLowUtf8));
    priceHigh->setText(QString::fromStdString(priceHighUtf8));
}

void CRkCmdDialog::focusKeyword()
{
    keyword->setFocus(Qt::ShortcutFocusReason);
    keyword->selectAll();
}

bool CRkCmdDialog::focusNextPrevChild(bool next)
{
    // The bar walks its own order: the focus chain alone would stop at the pane switch, whose
    // exclusive buttons Qt steps through as one.
    const auto at = std::find(tabOrder.begin(), tabOrder.end(), focusWidget());
    if (at == tabOrder.end())
        return QWidget::focusNextPrevChild(next);
    if (next && at + 1 == tabOrder.end()) {
        // From the last control on to the list the pane shows.
        QWidget* list = formView != nullptr ? formView->shownList() : nullptr;
        if (list == nullptr)
            return QWidget::focusNextPrevChild(next);
        list->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (!next && at == tabOrder.begin())
        return QWidget::focusNextPrevChild(next);
    QWidget* target = next ? *(at + 1) : *(at - 1);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void CRkCmdDialog::takeFocus()
{
    QWidget* target = focusBeforeSearch != nullptr ? focusBeforeSearch : keyword;
    target->setFocus(Qt::OtherFocusReason);
}

void CRkCmdDialog::onSearchButton()
{
    if (paneMode() != 0) {
        results->setChecked(true);
        if (formView != nullptr) {
            formView->applyPaneMode(0);
        }
        repaint();
    }
    startSearch();
}

void CRkCmdDialog::onEnter()
{
    startSearch();
}

void CRkCmdDialog::startSearch()
{
    const CommandBarInput in = input();
    if (!in.keyword.empty() && refusePrice(in))
        return;
    std::optional<SearchRequest> request = buildSearchRequest(in);
    if (!request) {
        return;
    }
    QWidget* focused = focusWidget();
    focusBeforeSearch = focused != nullptr && isAncestorOf(focused) ? focused : keyword;
    if (formView != nullptr) {
        formView->openSearch(std::move(*request));
    }
}

bool CRkCmdDialog::refusePrice(const CommandBarInput& in)
{
    const std::optional<PriceField> field = refusedPriceField(in);
    if (!field)
        return false;
    const bool low = *field == PriceField::low;
    platform::MessageBox::information(this,
                                      qs(low ? app_text::kPriceLowRefused : app_text::kPriceHighRefused));
    // The caret goes back to the box to mend, its text selected so typing replaces it.
    QLineEdit* box = low ? priceLow : priceHigh;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    return true;
}

void CRkCmdDialog::onPaneModeClicked()
{
    if (formView != nullptr) {
        formView->applyPaneMode(paneMode());
    }
}

void CRkCmdDialog::onSettingsButton()
{
    runSettingsDialog();
    // Whichever button closed the dialog, changed colours and the interval show at once.
    if (formView != nullptr) {
        formView->redrawLists();
        formView->restartWatchTimer();
    }
    Q_EMIT settingsDialogClosed();
}

void CRkCmdDialog::runSettingsDialog()
{
    CRkEnvDialg dialog(settings, nullptr);
    dialog.exec();
}

void CRkCmdDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Reaches here from a control that does not report Enter itself (the boxes, the
        // buttons); the line edits already started the search.
        if (qobject_cast<QLineEdit*>(focusWidget()) == nullptr) {
            onEnter();
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace pelimo
