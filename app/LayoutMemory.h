#pragma once

namespace pelimo {

class CMainFrame;

// Lays the window out as WindowLayout.ini in the data folder says: its place and size, the
// splitter, the lists' columns, the pane and the command bar's options. Without the file, or
// for a place on no screen there is now, the defaults stay. Before the window first shows.
void restoreWindowLayout(CMainFrame& frame);
// Writes how the window stands now into that file (at exit).
void saveWindowLayout(const CMainFrame& frame);

} // namespace pelimo
