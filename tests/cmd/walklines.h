#pragma once

// A walk's output kept in memory: its result lines and its messages, in order.
#include "cmd/walker.h"

#include <string>
#include <string_view>
#include <vector>

namespace moviecat::test {

struct Lines : cmd::WalkSink {
    std::vector<std::string> lines;
    std::vector<std::string> messages;
    bool line(std::string_view text) override
    {
        lines.emplace_back(text);
        return true;
    }
    void message(std::string_view text) override { messages.emplace_back(text); }
};

} // namespace moviecat::test
