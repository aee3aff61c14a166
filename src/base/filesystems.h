#pragma once

// What the kind of a file system (statfs's f_type) tells the folder view and the search
// helper: whether it is a network or user-space one, where no change notices arrive and
// any call may wait on a server, and whether a folder's link count is 2 plus its
// sub-folders, so that a folder with 2 links is known to hold none.

namespace moviecat {

bool isNetworkFileSystem(unsigned long type);
bool countsSubfolderLinks(unsigned long type);

} // namespace moviecat
