#include "app/startup.h"

#include "app/buildinfo.h"

namespace vistrel::app {
namespace {

constexpr char kHelp[] =
    "Uso: vistrel [--help | --version]\n"
    "Abre a janela do Vistrel, que compara o banco de destino (Cliente) com o de origem (Servidor) e\n"
    "cria no destino o que lhe falta. Sem tela, use vistrel-sync (veja vistrel-sync --help).\n"
    "\n"
    "  -h, --help       mostra este texto\n"
    "  -V, --version    mostra a versão\n";
constexpr char kNoDisplay[] = "vistrel: nenhuma tela disponível (DISPLAY e WAYLAND_DISPLAY não definidos); "
                              "para a linha de comando use vistrel-sync";
constexpr int kExitNoDisplay = 1;

bool isSet(const EnvironmentLookup& environment, const char* name) {
    const std::optional<std::string> value = environment(name);
    return value && !value->empty();
}

// The window system platform asked for: the -platform argument, else QT_QPA_PLATFORM.
std::string platformAskedFor(const std::vector<std::string>& arguments,
                             const EnvironmentLookup& environment) {
    for (size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "-platform" || arguments[i] == "--platform")
            return arguments[i + 1];
    return environment("QT_QPA_PLATFORM").value_or("");
}

// Whether a platform of that name can show a window here: the X11 and Wayland ones need their
// display; others (offscreen, vnc, ...) need none.
bool displayAvailable(const std::string& platform, const EnvironmentLookup& environment) {
    const std::string name = platform.substr(0, platform.find(':'));
    const bool x11 = isSet(environment, "DISPLAY");
    const bool wayland = isSet(environment, "WAYLAND_DISPLAY");
    if (name.empty())
        return x11 || wayland;
    if (name == "xcb")
        return x11;
    if (name.rfind("wayland", 0) == 0)
        return wayland;
    return true;
}

} // namespace

std::optional<int> answerBeforeTheWindow(const std::vector<std::string>& arguments,
                                         const EnvironmentLookup& environment, const std::string& programPath,
                                         std::ostream& out, std::ostream& err) {
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            out << kHelp;
            return 0;
        }
        if (argument == "--version" || argument == "-V") {
            out << versionLabelText(programPath) << '\n';
            return 0;
        }
    }
    if (!displayAvailable(platformAskedFor(arguments, environment), environment)) {
        err << kNoDisplay << '\n';
        return kExitNoDisplay;
    }
    return std::nullopt;
}

} // namespace vistrel::app
