// Reading command lines GNU style: long and short options, clusters, values, "--", conflicts
// and the hint for a mistyped option.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cli/argument_reader.h"
#include "cli/new_task_request.h"

namespace quillharbor {
namespace {

// What a small command saw: every option applied, as "name=value", then the operands.
std::string readAll(std::vector<std::string> arguments, OperandOrder order = OperandOrder::Mixed) {
    std::vector<std::string> seen;
    const auto record = [&seen](std::string name) {
        return [&seen, name](std::string_view value) -> Status {
            seen.push_back(name + "=" + std::string(value));
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
    std::string text;
    for (const std::string& each : seen) {
        text += each + " ";
    }
    text += "|";
    for (const std::string& operand : operands.value()) {
        text += " " + operand;
    }
    return text;
}

TEST(ArgumentReader, ReadsOptionsAndOperandsAsGnuProgramsDo) {
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;
    };
    const Case cases[] = {
        {{"URL", "--levels", "3"}, "levels=3 | URL"},
        {{"-l3", "URL"}, "levels=3 | URL"},
        {{"-l", "3", "URL"}, "levels=3 | URL"},
        {{"-ql3", "URL"}, "quiet= levels=3 | URL"},
        {{"-l"}, "error: -l needs a value"},
        {{"-x"}, "error: unknown option '-x'"},
        {{"--verb"}, "error: unknown option '--verb'; did you mean '--verbose'?"},
        {{"-qn", "my task", "URL"}, "quiet= name=my task | URL"},
        {{"--name=a=b"}, "name=a=b |"},
        {{"--name", "--levels"}, "name=--levels |"},
        {{"URL", "--", "-l", "--quiet"}, "| URL -l --quiet"},
        {{"-", "--follow-ftp"}, "follow-ftp= | -"},
        {{"--levels"}, "error: --levels needs a value"},
        {{"--follow-ftp=1"}, "error: --follow-ftp takes no value"},
        {{"--quiet", "--verbose"}, "error: --quiet and --verbose exclude each other"},
        {{"-vq"}, "error: --verbose and --quiet exclude each other"},
        {{"-qx"}, "error: unknown option '-x'"},
        {{"--levles", "3"}, "error: unknown option '--levles'; did you mean '--levels'?"},
        {{"--follow_ftp"}, "error: unknown option '--follow_ftp'; did you mean '--follow-ftp'?"},
        {{"--colour"}, "error: unknown option '--colour'"},
    };
    for (const Case& each : cases) {
        EXPECT_EQ(readAll(each.arguments), each.expected) << testing::PrintToString(each.arguments);
    }
}

TEST(ArgumentReader, GlobalOptionsEndAtTheCommand) {
    EXPECT_EQ(readAll({"-q", "get", "URL", "-v"}, OperandOrder::OptionsFirst),
              "quiet= | get URL -v");
    EXPECT_EQ(readAll({"--", "-v"}, OperandOrder::OptionsFirst), "| -v");
}

TEST(ArgumentReader, RatesTakeSuffixesAndRefuseNonsense) {
    struct Case {
        std::string text;
        std::int64_t rate;  // 0: refused
    };
    const Case cases[] = {{"5000", 5000}, {"200K", 204800}, {"1.5M", 1572864},
                          {"0.5", 0},     {"-3k", 0},       {"3q", 0},
                          {"k", 0},       {"inf", 0},       {"1e13", 0}};
    for (const Case& each : cases) {
        Result<std::int64_t> rate = readRate(each.text);
        EXPECT_EQ(rate.valueOr(0), each.rate) << each.text;
    }
}

TEST(ArgumentReader, GetTakesItsOwnOptionsForOneTask) {
    const std::vector<std::string> arguments{
        "http://example.org/", "-P",     "out",       "-U",      "Grabber/1.0", "--limit-rate=200k",
        "--include",           "/docs/", "--exclude", "\\.pdf$", "--no-robots", "--proxy",
        "proxy.example:3128",  "--json"};
    Result<NewTaskRequest> request = readNewTaskRequest(arguments);
    ASSERT_TRUE(request.ok()) << request.error().text;
    const GrabOptions& grab = request.value().grab;
    EXPECT_TRUE(request.value().directory->ends_with("/out"));
    EXPECT_EQ(grab.UserAgent, "Grabber/1.0");
    EXPECT_EQ(grab.RateLimit, 204800);
    EXPECT_EQ(grab.Include, "/docs/");
    EXPECT_EQ(grab.Exclude, "\\.pdf$");
    EXPECT_TRUE(grab.NoRobots);
    EXPECT_EQ(grab.ProxyHost, "proxy.example");
    EXPECT_EQ(grab.ProxyPort, "3128");
    EXPECT_TRUE(request.value().json);

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"http://x/", "--proxy", "host"},
             {"http://x/", "--include", "(unclosed"},
             {"http://x/", "--user-agent", "two\nlines"},
             {"http://x/", "-P", ""},
         }) {
        EXPECT_FALSE(readNewTaskRequest(wrong).ok()) << testing::PrintToString(wrong);
    }
}

}  // namespace
}  // namespace quillharbor
