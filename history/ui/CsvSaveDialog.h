#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace pelimo {

// "CSVで保存..." of a list: asks for a file, then writes the CSV the list builds (built only
// once a file was chosen, so a cancel costs nothing). A file that could not be written is
// said in a message box; nothing is said for a cancel or a success.
// Returns the file written (the system's bytes), nothing when none was.
std::optional<std::string> saveCsvWithDialog(QWidget* parent, const std::function<std::string()>& buildCsv);

// The file the next dialog answers with instead of asking, for tests; empty asks again.
void setNextCsvFileForTest(const std::string& path);

} // namespace pelimo
