#include "watch/ui/CRkCeilingDlg.h"

#include "PlatformTexts.h"
#include "WatchTexts.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

namespace pelimo {

CRkCeilingDlg::CRkCeilingDlg(std::optional<int32_t> current, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ceilingDialog"));
    setWindowTitle(platform::toQString(watch_text::kCeilingCaption));
    auto* prompt = new QLabel(platform::toQString(watch_text::kCeilingPrompt), this);
    edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("ceilingEdit"));
    if (current)
        edit->setText(QString::number(*current));
    edit->selectAll();
    auto* ok = new QPushButton(platform::toQString(watch_text::kButtonOk), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(platform::toQString(watch_text::kButtonCancel), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &CRkCeilingDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CRkCeilingDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(edit);
    layout->addLayout(buttons);
}

namespace {

// The digit a character stands for in a typed amount: 0 to 9 in half or full width, -1 for any
// other character (other scripts' digits and superscripts among them, which QChar would read).
int amountDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'\uff10' && u <= u'\uff19') // full-width digits
        return u - u'\uff10';
    return -1;
}

} // namespace

std::optional<int32_t> CRkCeilingDlg::parseAmount(const QString& text)
{
    QString t = text.trimmed();
    const QString yen = platform::toQString(platform_text::kYen);
    if (t.endsWith(yen))
        t.chop(yen.size());
    long long amount = 0;
    int digits = 0;
    for (const QChar c : t) {
        if (c == QLatin1Char(',') || c == QChar(0xff0c)) // , and its full-width form
            continue;
        const int d = amountDigit(c);
        if (d < 0)
            return std::nullopt;
        amount = amount * 10 + d;
        if (amount > std::numeric_limits<int32_t>::max())
            return std::nullopt;
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return static_cast<int32_t>(amount);
}

void CRkCeilingDlg::accept()
{
    if (edit->text().trimmed().isEmpty()) {
        value.reset();
        QDialog::accept();
        return;
    }
    const std::optional<int32_t> amount = parseAmount(edit->text());
    if (!amount) {
        platform::MessageBox::information(this, platform::toQString(watch_text::kCeilingNotANumber));
        edit->setFocus();
        edit->selectAll();
        return;
    }
    value = amount;
    QDialog::accept();
}

} // namespace pelimo
