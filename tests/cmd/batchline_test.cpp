// How the helper reads a batch line: percents, quotes, escapes, joiners, redirections.
#include "cmd/batchline.h"

#include <gtest/gtest.h>

using namespace moviecat::cmd;

namespace {

// One line per command: joiner, name, arguments ("q:" when quoted), redirections.
std::string render(const ParsedLine &parsed)
{
    if (!parsed.error.empty())
        return "error: " + parsed.error;
    std::string out;
    for (const Command &c : parsed.commands) {
        static const char *const joiners[] = {";", "&&", "||", "|"};
        out += std::string(joiners[int(c.joiner)]) + " [" + c.name + "]";
        for (const Argument &a : c.arguments)
            out += std::string(" ") + (a.quoted ? "q:" : "") + a.text;
        for (const Redirection &r : c.redirections) {
            static const char *const modes[] = {">>", ">", "<", ">&"};
            out += " " + std::to_string(r.stream) + modes[int(r.mode)] + r.target;
        }
        out += "\n";
    }
    return out;
}

struct LineCase {
    const char *line;
    const char *parsed;
};

class ParseLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParseLine, SplitsAsTheCommandInterpreterDoes)
{
    EXPECT_EQ(render(parseLine(GetParam().line)), GetParam().parsed) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseLine,
    ::testing::Values(
        LineCase{"DIR /m/*abc* /ad /s /b >>/tmp/list.txt",
                 "; [DIR] /m/*abc* /ad /s /b 1>>/tmp/list.txt\n"},
        LineCase{"DIR \"/m/A & B/*x y*\" /ad /s /b >>\"/t/a b.txt\"",
                 "; [DIR] q:/m/A & B/*x y* /ad /s /b 1>>/t/a b.txt\n"},
        LineCase{"dir/s/b x", "; [dir] /s/b x\n"},
        LineCase{"  @DEL /Q list.bat", "; [DEL] /Q list.bat\n"}, LineCase{":label & dir", ""},
        LineCase{"dir a&dir b", "; [dir] a\n; [dir] b\n"},
        LineCase{"dir a && dir b || dir c", "; [dir] a\n&& [dir] b\n|| [dir] c\n"},
        LineCase{"dir a | more", "; [dir] a\n| [more]\n"},
        LineCase{"dir a^&b c^^d", "; [dir] a&b c^d\n"},
        LineCase{"dir \"a^&b\"", "; [dir] q:a^&b\n"}, LineCase{"dir a,b;c=d", "; [dir] a b c d\n"},
        LineCase{"dir x 2>err.txt >out.txt", "; [dir] x 2>err.txt 1>out.txt\n"},
        LineCase{"dir x 2>&1", "; [dir] x 2>&1\n"}, LineCase{"dir x3>y", "; [dir] x3 1>y\n"},
        LineCase{">>touched.txt", "; [] 1>>touched.txt\n"},
        LineCase{"dir \"unclosed quote & still arg", "; [dir] q:unclosed quote & still arg\n"},
        LineCase{"dir x >", "error: The syntax of the command is incorrect."},
        LineCase{"dir x &&", "error: The syntax of the command is incorrect."},
        LineCase{"| dir", "error: | was unexpected at this time."},
        LineCase{"dir x >&z", "error: The handle could not be duplicated during redirection of "
                              "handle 1."}));

TEST(ExpandPercents, FollowsBatchFileRules)
{
    const EnvironmentLookup env = [](std::string_view name) -> std::optional<std::string> {
        if (name == "HOME")
            return std::string("/home/u");
        return std::nullopt;
    };
    const std::string batch = "/run/list.bat";
    EXPECT_EQ(expandPercents("100%% sure", batch, env), "100% sure");
    EXPECT_EQ(expandPercents("%HOME%/x", batch, env), "/home/u/x");
    EXPECT_EQ(expandPercents("a%UNSET%b", batch, env), "ab");
    EXPECT_EQ(expandPercents("%0 %1 %* %~dp1", batch, env), "/run/list.bat   ");
    EXPECT_EQ(expandPercents("50% off", batch, env), "50 off");
    EXPECT_EQ(expandPercents("trailing %", batch, env), "trailing ");
    EXPECT_EQ(expandPercents("\"%%PATH%%\"", batch, env), "\"%PATH%\"");
}

} // namespace
