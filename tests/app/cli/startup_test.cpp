// What the window program answers before it builds a window: --help, --version and a system
// without a display, each in the environment it finds.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vistrel::app {
namespace {

struct Answer {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Answer answer(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment) {
    std::ostringstream out;
    std::ostringstream err;
    const auto lookup = [environment](const std::string& name) -> std::optional<std::string> {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    // No version record in this test program: the text of a file without one.
    const std::optional<int> status =
        answerBeforeTheWindow(arguments, lookup, "/nonexistent/vistrel", out, err);
    return {status, out.str(), err.str()};
}

constexpr char kNoDisplay[] = "vistrel: nenhuma tela disponível (DISPLAY e WAYLAND_DISPLAY não definidos); "
                              "para a linha de comando use vistrel-sync\n";

TEST(BeforeTheWindow, HelpAndVersionNeedNoDisplay) {
    for (const char* option : {"--help", "-h"}) {
        const Answer help = answer({option}, {});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Uso: vistrel [--help | --version]\n", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("vistrel-sync"), std::string::npos);
        EXPECT_EQ(help.err, "");
    }
    for (const char* option : {"--version", "-V"}) {
        const Answer version = answer({option}, {});
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, "V:1.0.0\n");
        EXPECT_EQ(version.err, "");
    }
}

struct DisplayCase {
    const char* label;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    bool opens;
};

class Display : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(Display, TheWindowOpensOnlyWhereItCanShow) {
    const DisplayCase& c = GetParam();
    const Answer result = answer(c.arguments, c.environment);
    EXPECT_EQ(result.out, "");
    if (c.opens) {
        EXPECT_FALSE(result.status.has_value());
        EXPECT_EQ(result.err, "");
    } else {
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, kNoDisplay);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Environments, Display,
    ::testing::Values(
        DisplayCase{"nothing", {}, {}, false}, DisplayCase{"empty DISPLAY", {}, {{"DISPLAY", ""}}, false},
        DisplayCase{"X11", {}, {{"DISPLAY", ":0"}}, true},
        DisplayCase{"Wayland", {}, {{"WAYLAND_DISPLAY", "wayland-0"}}, true},
        DisplayCase{"xcb without X11", {}, {{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "w"}}, false},
        DisplayCase{"wayland without it", {}, {{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}, false},
        DisplayCase{"offscreen", {}, {{"QT_QPA_PLATFORM", "offscreen"}}, true},
        DisplayCase{"offscreen with options", {}, {{"QT_QPA_PLATFORM", "offscreen:configfile=/x"}}, true},
        DisplayCase{"platform argument", {"-platform", "offscreen"}, {}, true},
        DisplayCase{
            "platform argument xcb", {"-platform", "xcb"}, {{"QT_QPA_PLATFORM", "offscreen"}}, false}),
    [](const ::testing::TestParamInfo<DisplayCase>& param) {
        std::string name;
        for (const char c : std::string(param.param.label))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

} // namespace
} // namespace vistrel::app
