#include "platform/qt/QtText.h"

#include "platform/text/SjisText.h"

namespace pelimo::platform {

QString toQString(std::string_view sjis)
{
    const std::string utf8 = sjisToUtf8(sjis);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return utf8ToSjis(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

} // namespace pelimo::platform
