#include "settingsdlg/CRkEnvStdDlg.h"

#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"
#include "settingsdlg/PageLayout.h"
#include "settingsdlg_texts.h"
#include "xmlclient/Endpoints.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace pelimo {

namespace {

using namespace settingsdlg_texts;
using platform::fromQString;
using platform::toQString;

// A choice between the detail view (0) and the default browser (1). A stored value that is
// neither checks no button, and the page then keeps that value as it was.
QButtonGroup* addOpenChoice(QWidget* page, PageLayout& layout, int top, const char* label,
                            const QString& name, int32_t value)
{
    auto* caption = new QLabel(toQString(label), page);
    layout.add(caption, 8, top, 200, 9);
    auto* group = new QButtonGroup(page);
    const char* texts[] = {kOpenInDetail, kOpenInBrowser};
    const QString names[] = {name + QStringLiteral("InDetail"), name + QStringLiteral("InBrowser")};
    for (int i = 0; i < 2; ++i) {
        auto* radio = new QRadioButton(toQString(texts[i]), page);
        radio->setObjectName(names[i]);
        layout.add(radio, 20, top + 13 + 13 * i, 200, 10);
        group->addButton(radio, i);
    }
    if (value == 0 || value == 1)
        group->button(value)->setChecked(true);
    return group;
}

QLineEdit* addAddressField(QWidget* page, PageLayout& layout, int top, const char* label, const QString& name,
                           const std::string& value)
{
    auto* caption = new QLabel(toQString(label), page);
    layout.add(caption, 20, top + 2, 76, 9);
    auto* field = new QLineEdit(toQString(value), page);
    field->setObjectName(name);
    layout.add(field, 98, top, 140, 12);
    caption->setBuddy(field);
    return field;
}

int32_t readChoice(const QButtonGroup* group, int32_t previous)
{
    const int checked = group->checkedId();
    return checked < 0 ? previous : checked;
}

} // namespace

CRkEnvStdDlg::CRkEnvStdDlg(const EnvSettings& settings, QWidget* parent)
    : QWidget(parent), openSearchInBrowser(settings.openSearchInBrowser),
      openAlertInBrowser(settings.openAlertInBrowser), autoRefreshDetail(settings.autoRefreshDetail),
      ext(settings.ext)
{
    setObjectName(QStringLiteral("generalPage"));
    setFont(dialogFont());
    PageLayout layout(this);

    searchOpen =
        addOpenChoice(this, layout, 10, kSearchDoubleClick, QStringLiteral("search"), openSearchInBrowser);
    alertOpen =
        addOpenChoice(this, layout, 56, kAlertDoubleClick, QStringLiteral("alert"), openAlertInBrowser);

    autoRefresh = new QCheckBox(toQString(kAutoRefreshDetail), this);
    autoRefresh->setObjectName(QStringLiteral("autoRefreshDetail"));
    layout.add(autoRefresh, 8, 104, 230, 10);
    autoRefresh->setChecked(isOn(autoRefreshDetail));

    auto* connection = new QLabel(toQString(kConnection), this);
    layout.add(connection, 8, 126, 230, 9);
    listingBase =
        addAddressField(this, layout, 140, kListingService, QStringLiteral("listingBase"), ext.listingBase);
    itemPageBase =
        addAddressField(this, layout, 156, kItemPage, QStringLiteral("itemPageBase"), ext.itemPageBase);

    showPictures = new QCheckBox(toQString(kShowPictures), this);
    showPictures->setObjectName(QStringLiteral("showPictures"));
    layout.add(showPictures, 8, 176, 230, 10);
    showPictures->setChecked(isOn(ext.showPictures));
    layout.apply();
}

bool CRkEnvStdDlg::readAddress(QLineEdit* field, const char* name, std::string& value)
{
    if (const auto address = normalizeServiceAddress(fromQString(field->text()))) {
        value = *address;
        return true;
    }
    emit frontRequested();
    platform::MessageBox::information(this, toQString(fillText(kAddressRefused, {std::string_view(name)})));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

bool CRkEnvStdDlg::readControls()
{
    // Nothing is taken over unless both addresses read.
    ExtSettings read = ext;
    if (!readAddress(listingBase, kListingService, read.listingBase) ||
        !readAddress(itemPageBase, kItemPage, read.itemPageBase))
        return false;
    ext = read;
    openSearchInBrowser = readChoice(searchOpen, openSearchInBrowser);
    openAlertInBrowser = readChoice(alertOpen, openAlertInBrowser);
    autoRefreshDetail = autoRefresh->isChecked() ? 1 : 0;
    ext.showPictures = showPictures->isChecked() ? 1 : 0;
    return true;
}

void CRkEnvStdDlg::copyTo(EnvSettings& settings) const
{
    settings.openSearchInBrowser = openSearchInBrowser;
    settings.openAlertInBrowser = openAlertInBrowser;
    settings.autoRefreshDetail = autoRefreshDetail;
    settings.ext.listingBase = ext.listingBase;
    settings.ext.itemPageBase = ext.itemPageBase;
    settings.ext.showPictures = ext.showPictures;
}

} // namespace pelimo
