#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moviecat::cmd {

// Looks up an environment variable for %NAME%.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view)>;

// A batch line's percent expansion: %% gives %, %0 the batch file, %1..%9 and %* the
// (absent) batch arguments, %NAME% the variable or nothing; a lone % is dropped.
std::string expandPercents(std::string_view line, std::string_view batchPath,
                           const EnvironmentLookup &environment);

struct Argument {
    std::string text; // quotes removed, ^ escapes applied
    bool quoted = false;
};

struct Redirection {
    enum class Mode { Append, Truncate, Read, Duplicate };
    int stream = 1; // 0 input, 1 output, 2 errors
    Mode mode = Mode::Append;
    std::string target; // file name, or the stream number for Duplicate
};

// How a command hangs on the one before it: &, &&, || or |.
enum class Joiner { Then, IfSucceeded, IfFailed, Pipe };

struct Command {
    Joiner joiner = Joiner::Then;
    std::string name;
    bool nameQuoted = false;
    std::vector<Argument> arguments;
    std::vector<Redirection> redirections;
};

struct ParsedLine {
    std::vector<Command> commands;
    std::string error; // the line cannot run; this says why
};

// Splits an expanded line the way the command interpreter does: blanks, tabs , ; =
// between arguments, "quotes" and ^ protecting special characters, & && || | between
// commands, < > >> 2> and >&1 redirections; a leading @ is dropped and a :label line
// holds no command.
ParsedLine parseLine(std::string_view line);

} // namespace moviecat::cmd
