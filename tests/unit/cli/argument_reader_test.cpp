// Reading command lines GNU style: long and short options, clusters, values, "--", conflicts
// and the hint for a mistyped option.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/argument_reader.h"
#include "cli/new_task_request.h"

namespace quillharbor {
namespace {

// What a small command saw: every option applied, as "name=value", then the operands.
std::string readAll(std::vector<std::string> arguments, OperandOrder order) {
    std::string text;
    const auto record = [&text](std::string name) {
        return [&text, name](std::string_view value) -> Status {
            text += name + "=" + std::string(value) + " ";
            return {};
        };
    };
    const std::vector<CommandOption> options{
        {"--quiet", false, record("quiet"), 'q', "verbosity"},
        {"--verbose", false, record("verbose"), 'v', "verbosity"},
        {"--levels", true, record("levels"), 'l'},
        {"--name", true, record("name"), 'n'},
        {"--follow-ftp", false, record("follow-ftp")},
    };
    Result<std::vector<std::string>> operands = readArguments(arguments, options, order);
    if (!operands) {
        return "error: " + operands.error().text;
    }
    text += "|";
    for (const std::string& operand : operands.value()) text += " " + operand;
    return text;
}

TEST(ArgumentReader, ReadsOptionsAndOperandsAsGnuProgramsDo) {
    const struct {
        std::vector<std::string> arguments;
        std::string expected;
        OperandOrder order = OperandOrder::Mixed;
    } cases[] = {
        {{"URL", "--levels", "3"}, "levels=3 | URL"},
        {{"-l", "3", "URL"}, "levels=3 | URL"},
        {{"-ql3", "URL"}, "quiet= levels=3 | URL"},
        {{"-qn", "my task", "URL"}, "quiet= name=my task | URL"},
        {{"--name=a=b"}, "name=a=b |"},
        {{"--name", "--levels"}, "name=--levels |"},
        {{"URL", "--", "-l", "--quiet"}, "| URL -l --quiet"},
        {{"-", "--follow-ftp"}, "follow-ftp= | -"},
        {{"-q", "get", "URL", "-v"}, "quiet= | get URL -v", OperandOrder::OptionsFirst},
        {{"--", "-v"}, "| -v", OperandOrder::OptionsFirst},
        {{"-l"}, "error: -l needs a value"},
        {{"--levels"}, "error: --levels needs a value"},
        {{"-qx"}, "error: unknown option '-x'"},
        {{"--follow-ftp=1"}, "error: --follow-ftp takes no value"},
        {{"--quiet", "--verbose"}, "error: --quiet and --verbose exclude each other"},
        {{"-vq"}, "error: --verbose and --quiet exclude each other"},
        {{"--levles", "3"}, "error: unknown option '--levles'; did you mean '--levels'?"},
        {{"--follow_ftp"}, "error: unknown option '--follow_ftp'; did you mean '--follow-ftp'?"},
        {{"--colour"}, "error: unknown option '--colour'"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(readAll(each.arguments, each.order), each.expected)
            << testing::PrintToString(each.arguments);
    }
}

TEST(ArgumentReader, RatesTakeSuffixesAndRefuseNonsense) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"5000", 5000}, {"200K", 204800}, {"1.5M", 1572864}, {"0.5", 0}, {"-3k", 0},
        {"3q", 0},      {"k", 0},         {"inf", 0},        {"1e13", 0}};  // 0: refused
    for (const auto& [text, rate] : cases) {
        EXPECT_EQ(readRate(text).valueOr(0), rate) << text;
    }
}

TEST(ArgumentReader, GetTakesItsOwnOptionsForOneTask) {
    Result<NewTaskRequest> request = readNewTaskRequest(
        std::vector<std::string>{"http://example.org/", "-P", "out", "-U", "Grabber/1.0",
                                 "--limit-rate=200k", "--include", "/docs/", "--exclude", "\\.pdf$",
                                 "--no-robots", "--proxy", "proxy.example:3128", "--json"});
    ASSERT_TRUE(request.ok()) << request.error().text;
    const GrabOptions& grab = request.value().grab;
    EXPECT_TRUE(request.value().directory->ends_with("/out") && request.value().json);
    EXPECT_EQ(grab.UserAgent + "|" + std::to_string(grab.RateLimit) + "|" + grab.Include + "|" +
                  grab.Exclude + "|" + std::to_string(grab.NoRobots) + "|" + grab.ProxyHost + "|" +
                  grab.ProxyPort,
              "Grabber/1.0|204800|/docs/|\\.pdf$|1|proxy.example|3128");
    for (const auto& wrong : {std::vector<std::string>{"http://x/", "--proxy", "host"},
                              {"http://x/", "--include", "(unclosed"},
                              {"http://x/", "--user-agent", "two\nlines"},
                              {"http://x/", "-P", ""}}) {
        EXPECT_FALSE(readNewTaskRequest(wrong).ok()) << testing::PrintToString(wrong);
    }
}

}  // namespace
}  // namespace quillharbor
