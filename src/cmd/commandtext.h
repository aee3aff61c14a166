#pragma once

// What the interpreter's commands share: reading their arguments (switch tokens, a
// folder and a name) and saying things on a stream. Private to the interpreter's files.
#include "cmd/batchline.h"
#include "cmd/interpreter.h"

#include <string>
#include <string_view>
#include <vector>

namespace moviecat::cmd {

std::string lower(std::string_view s);
// Writes everything, going on after EINTR; false when the write failed (errno says why).
bool writeAll(int fd, std::string_view data);
// The text and a line break, whether or not they can be written.
void say(int fd, std::string_view text);

bool isDevNull(std::string_view name);
bool isFolder(const std::string &path);
bool hasWildcard(std::string_view s);

// A path given to DIR or DEL: the folder part ("." when there is none, "/" for a name
// right below the root) and the last component.
struct FolderAndName {
    std::string folder;
    std::string name;
};
FolderAndName splitFolderAndName(const std::string &path);

// The pieces of a switch token after its leading slash: "/s/b" gives "s" and "b".
std::vector<std::string_view> switchPieces(std::string_view token);
// Unquoted, starting with / and made only of switches; anything else is a path, so
// /films/*x* is a folder and a root folder called like a switch must be quoted.
bool isSwitchToken(const Argument &arg, bool (*piece)(std::string_view));
// One of DIR's switches (dircommand.cpp).
bool isDirSwitch(std::string_view piece);

// The streams of one command after its redirections; files opened here are closed,
// and their closing checked, by finish().
struct Interpreter::Streams {
    int out = 1;
    int err = 2;
    std::vector<int> opened;
    std::string outName;

    bool finish(int errFd);
};

} // namespace moviecat::cmd
