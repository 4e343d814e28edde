#include "watch/ui/CRkCeilingDlg.h"

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

std::optional<int32_t> CRkCeilingDlg::parseAmount(const QString& text)
{
    QString t = text.trimmed();
    if (t.endsWith(QChar(0x5186))) // 円
        t.chop(1);
    long long amount = 0;
    int digits = 0;
    for (const QChar c : t) {
        if (c == QLatin1Char(',') || c == QChar(0xff0c)) // , and its full-width form
            continue;
        const int d = c.digitValue();
        if (d < 0 || d > 9)
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
