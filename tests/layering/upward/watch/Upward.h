#pragma once

// A watch header reaching up into the search tabs: the layering check must refuse it.
#include "search/CRkItemList.h"
