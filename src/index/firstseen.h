#pragma once

#include "index/folderindex.h"

namespace moviecat::index {

// Dates every folder of a walk's new index: the day the earlier index of the same root gave
// the folder at the same place (the same names from the root down), whether the walk
// confirmed it unchanged or listed it again; the walk's own day (its header's) where the
// earlier index has no such folder, or there is none. A folder moved or renamed is found
// anew, as it is at a place where it never was.
void carryFirstSeen(FolderIndex &record, const FolderIndex *earlier);

} // namespace moviecat::index
