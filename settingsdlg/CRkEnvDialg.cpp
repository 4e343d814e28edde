#include "settingsdlg/CRkEnvDialg.h"

#include "platform/qt/QtText.h"
#include "settings/SettingsStore.h"
#include "settingsdlg/CRkEnvAramDialog.h"
#include "settingsdlg/CRkEnvItemDialog.h"
#include "settingsdlg/CRkEnvStdDlg.h"
#include "settingsdlg/DialogUnits.h"
#include "settingsdlg/PageLayout.h"
#include "settingsdlg_texts.h"

#include <QFontDatabase>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

namespace pelimo {

namespace {

using namespace settingsdlg_texts;
using platform::toQString;

constexpr int kGeneralTab = 0;
constexpr int kColoursTab = 1;
constexpr int kAlertTab = 2;

} // namespace

CRkEnvDialg::CRkEnvDialg(EnvSettings& settingsRecord, QWidget* parent, SaveFunction saveFunction)
    : QDialog(parent), settings(settingsRecord),
      save(saveFunction ? std::move(saveFunction) : SaveFunction(&saveSettings))
{
    setObjectName(QStringLiteral("envDialog"));
    setWindowTitle(toQString(kDialogTitle));
    setFont(dialogFont());
    const DialogUnits du(font());

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    // The tabs carry empty panes; the pages lie over the tab control and are switched here.
    for (const char* title : {kTabGeneral, kTabColours, kTabAlert})
        tabs->addTab(new QWidget(tabs), toQString(title));

    general = new CRkEnvStdDlg(settings, tabs);
    colours = new CRkEnvItemDialog(settings, tabs);
    alert = new CRkEnvAramDialog(settings, tabs);
    pages = {general, colours, alert};
    // The tab control is as tall as its tallest page needs, which its texts may have made
    // taller; the buttons and the frame's height follow it.
    const int pageTop = std::max(kPageInsetTop, tabs->tabBar()->sizeHint().height() + 4);
    int tallest = 0;
    for (QWidget* page : pages)
        tallest = std::max(tallest, page->childrenRect().bottom() + 1);
    QRect tabArea = du.rect(2, 5, kTabWidthUnits, 0);
    tabArea.setHeight(pageTop + tallest + du.y(2) + kPageInsetSide);
    tabs->setGeometry(tabArea);
    const int buttonsTop = tabArea.bottom() + 1 + du.y(6);
    setFixedSize(du.x(273), buttonsTop + du.y(16) + du.y(2));
    placePages(pageTop);
    showPage(kGeneralTab);
    connect(tabs, &QTabWidget::currentChanged, this, &CRkEnvDialg::showPage);
    connect(alert, &CRkEnvAramDialog::frontRequested, this, [this] { tabs->setCurrentIndex(kAlertTab); });
    connect(general, &CRkEnvStdDlg::frontRequested, this, [this] { tabs->setCurrentIndex(kGeneralTab); });

    okButton = new QPushButton(toQString(kOk), this);
    okButton->setObjectName(QStringLiteral("ok"));
    okButton->setDefault(true);
    okButton->setGeometry(du.x(177), buttonsTop, du.x(42), du.y(16));
    cancelButton = new QPushButton(toQString(kCancel), this);
    cancelButton->setObjectName(QStringLiteral("cancel"));
    cancelButton->setGeometry(du.x(226), buttonsTop, du.x(42), du.y(16));
    connect(okButton, &QPushButton::clicked, this, &CRkEnvDialg::accept);
    connect(cancelButton, &QPushButton::clicked, this, &CRkEnvDialg::reject);
}

void CRkEnvDialg::placePages(int top)
{
    // The pages start below the tab strip even where the strip is taller than the top inset.
    const QRect client = tabs->rect().adjusted(kPageInsetSide, top, -kPageInsetSide, -kPageInsetSide);
    for (QWidget* page : pages) {
        page->setGeometry(client);
        page->raise();
    }
}

void CRkEnvDialg::showPage(int index)
{
    for (int i = 0; i < static_cast<int>(pages.size()); ++i)
        pages[static_cast<size_t>(i)]->setVisible(i == index);
}

void CRkEnvDialg::accept()
{
    // The pages read their controls in this order; a failing number field keeps the dialog open.
    if (!alert->readControls() || !colours->readControls() || !general->readControls())
        return;
    general->copyTo(settings);
    alert->copyTo(settings);
    colours->copyTo(settings);
    save(settings);
    QDialog::accept();
}

} // namespace pelimo
