#include "history/ui/CsvSaveDialog.h"

#include "HistoryUiTexts.h"
#include "history/HistoryCsv.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"

#include <QFile>
#include <QFileDialog>

namespace pelimo {
namespace {

std::string& nextFileForTest()
{
    static std::string path;
    return path;
}

} // namespace

void setNextCsvFileForTest(const std::string& path)
{
    nextFileForTest() = path;
}

std::optional<std::string> saveCsvWithDialog(QWidget* parent, const std::function<std::string()>& buildCsv)
{
    std::string path = std::exchange(nextFileForTest(), std::string());
    if (path.empty()) {
        const QString chosen =
            QFileDialog::getSaveFileName(parent, platform::toQString(history_ui_text::kMenuSaveCsv),
                                         QString(), platform::toQString(history_ui_text::kCsvFilter));
        if (chosen.isEmpty())
            return std::nullopt;
        path = QFile::encodeName(chosen).toStdString();
    }
    if (writeCsvFile(path, buildCsv()))
        return path;
    // The path is the system's bytes; shown as the user typed it.
    platform::MessageBox::information(parent,
                                      platform::toQString(fillText(history_ui_text::kCsvNotWritten, {"%1"}))
                                          .arg(QFile::decodeName(path.c_str())));
    return std::nullopt;
}

} // namespace pelimo
