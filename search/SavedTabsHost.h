#pragma once

namespace pelimo {

class CRkItemList;

// What the search tabs ask of the saved searches: whether a tab's search is saved, the tab
// popup's save and unsave, and that the user has shown a tab.
class SavedTabsHost {
public:
    virtual ~SavedTabsHost() = default;

    virtual bool isSaved(const CRkItemList& list) const = 0;
    virtual void toggleSaved(CRkItemList& list) = 0;
    virtual void tabShown(CRkItemList& list) = 0;
};

} // namespace pelimo
