#pragma once

namespace pelimo {

class CRkCmdDialog;
class CRkFormView;
class CRkHtmlForm;

// The two panes and the command bar, reachable from the whole program. The main frame sets
// them when it creates them and clears them when it goes away.
struct AppPanes {
    CRkFormView* formView = nullptr;
    CRkHtmlForm* htmlForm = nullptr;
    CRkCmdDialog* cmdBar = nullptr;
};

inline AppPanes g_panes;

} // namespace pelimo
