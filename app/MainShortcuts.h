#pragma once

namespace pelimo {

class CMainFrame;

// The window's keys beyond what each control answers itself: Ctrl+F to the keyword, Ctrl+W
// closes the search tab shown, Ctrl+Tab and Ctrl+Shift+Tab move between the tabs, F5 updates
// the watch list while it shows.
void addMainShortcuts(CMainFrame& frame);

} // namespace pelimo
