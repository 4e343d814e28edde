#pragma once

#include "itempage/ItemPageEngine.h"

#include <string>

class QWidget;

namespace pelimo {

// Makes the web engine's view for an item page, loading the engine's module the first time;
// nullptr when the module cannot be loaded (said once on the standard error).
ItemPageEngine* makeItemPageEngine(QWidget* parent, ItemPageEngine::Handlers handlers);

// Whether the engine's module has been loaded into the program.
bool isItemPageModuleLoaded();

// Where the module is, for programs that are not installed beside it (the test suites); by
// default it is looked for beside the program, then in the library folder it is installed in.
void setItemPageModulePath(std::string path);

} // namespace pelimo
