#pragma once

// What the kind of a file system (statfs's f_type) tells the folder view and the search
// helper: whether it is a network or user-space one, where no change notices arrive and
// any call may wait on a server, and whether a folder's link count is 2 plus its
// sub-folders, so that a folder with 2 links is known to hold none.

namespace moviecat {

bool isNetworkFileSystem(unsigned long type);
bool countsSubfolderLinks(unsigned long type);
// Seconds by which two changes may lie apart and still show the same time stamp, with a
// margin where the server's clock and ours may disagree: 2 for FAT and network or
// user-space file systems, 1 for the rest.
int timeGranularity(unsigned long type);

} // namespace moviecat
