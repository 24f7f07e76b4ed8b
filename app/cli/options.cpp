#include "app/cli/options.h"

#include "app/cli/processtable.h"
#include "sync/guard.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::cli {

namespace {

constexpr char kDefaultUser[] = "SYSDBA";
constexpr size_t kPasswordFileLimit = 4096;

const char kUsage[] =
    "Uso: vistrel-sync --source SERVIDOR:CAMINHO --target SERVIDOR:CAMINHO [opções]\n"
    "Compara o banco de destino (Cliente) com o de origem (Servidor) e cria no destino o que lhe\n"
    "falta, com os mesmos processos e os mesmos textos da janela.\n"
    "\n"
    "  --source SERVIDOR:CAMINHO    banco de origem, por exemplo 127.0.0.1:/srv/db/fatura.fdb ou\n"
    "                               127.0.0.1/3050:/srv/db/fatura.fdb\n"
    "  --target SERVIDOR:CAMINHO    banco de destino\n"
    "  --processes LISTA            processos, na ordem dada: por exemplo 1,2,3 ou all (padrão)\n"
    "  --dry-run                    escreve todo o DDL, não executa nada no destino\n"
    "  --fast                       \"Rápido\" marcado: sem reconexão a cada objeto\n"
    "  --check                      nada é executado no destino; mostra por tipo o que seria criado\n"
    "                               ou alterado e cada objeto que difere (saída 1 se algo difere)\n"
    "  --alter                      \"Alterar\" marcado: cada processo também altera no destino o\n"
    "                               que difere, sem perder dados (nada é apagado)\n"
    "  --script ARQ                 nada é executado no destino; grava em ARQ as instruções que a\n"
    "                               execução enviaria, na ordem, como script para isql-fb -i\n"
    "  --report ARQ                 grava em ARQ as diferenças (e o resultado da execução) em JSON\n"
    "  --lock-timeout SEGUNDOS      espera máxima por um objeto em uso por outra conexão (padrão 30)\n"
    "  --source-user USUÁRIO        usuário da origem (padrão: ISC_USER, senão SYSDBA)\n"
    "  --target-user USUÁRIO        usuário do destino (padrão: ISC_USER, senão SYSDBA)\n"
    "  --source-password-file ARQ   senha da origem na primeira linha do arquivo (modo 600)\n"
    "  --target-password-file ARQ   senha do destino na primeira linha do arquivo (modo 600)\n"
    "  -q, --quiet                  só as falhas e o resumo\n"
    "  -v, --verbose                também cada comando executado no destino\n"
    "  --help                       mostra este texto\n"
    "  -V, --version                mostra a versão\n"
    "\n"
    "Senhas nunca na linha de comando: VISTREL_SOURCE_PASSWORD e VISTREL_TARGET_PASSWORD, senão\n"
    "ISC_PASSWORD, ou os arquivos acima.\n"
    "\n"
    "Saída: 0 nenhum objeto falhou (--check: nada difere); 1 algum objeto falhou (--check: algo\n"
    "seria criado ou alterado); 2 erro de uso ou de conexão; 3 a verificação dos bancos recusou a\n"
    "comparação.\n";

// "--name=value" gives its value; "--name value" takes the next argument.
struct Argument {
    std::string name;
    std::optional<std::string> inlineValue;
};

Argument splitArgument(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        return {text, std::nullopt};
    return {text.substr(0, equals), text.substr(equals + 1)};
}

// The short forms of the options that have one.
std::string shortOption(const std::string& text) {
    if (text == "-q")
        return "--quiet";
    if (text == "-v")
        return "--verbose";
    if (text == "-V")
        return "--version";
    return text;
}

bool isHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

bool isPortCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

std::vector<int> parseProcessList(const std::string& text) {
    if (text == "all")
        return knownProcesses();
    std::vector<int> numbers;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto& known = knownProcesses();
        const bool digits =
            !item.empty() && item.size() <= 2 &&
            std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; });
        const int number = digits ? std::stoi(item) : 0;
        if (std::find(known.begin(), known.end(), number) == known.end())
            throw UsageError("--processes: processo desconhecido: \"" + item + "\" (use números de " +
                             std::to_string(known.front()) + " a " + std::to_string(known.back()) +
                             " separados por vírgula, ou all)");
        if (std::find(numbers.begin(), numbers.end(), number) != numbers.end())
            throw UsageError("--processes: processo repetido: " + item);
        numbers.push_back(number);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return numbers;
}

} // namespace

const std::vector<int>& knownProcesses() {
    static const std::vector<int> numbers = [] {
        std::vector<int> all;
        for (const ProcessEntry& entry : processTable())
            all.push_back(entry.number);
        return all;
    }();
    return numbers;
}

const char* usageText() {
    return kUsage;
}

DatabaseAddress parseDatabaseAddress(const std::string& text, const std::string& option) {
    const auto fail = [&](const std::string& why) -> UsageError {
        return UsageError(option + ": \"" + text + "\" não é SERVIDOR:CAMINHO (" + why + ")");
    };
    DatabaseAddress address;
    size_t colon = 0;
    size_t hostEnd = 0;
    if (!text.empty() && text[0] == '[') {
        // [IPv6 address], then an optional /port, then ":".
        const size_t close = text.find(']');
        if (close == std::string::npos || close == 1)
            throw fail("endereço IPv6 sem \"]\"");
        for (size_t i = 1; i < close; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(text[i])) && text[i] != ':' && text[i] != '.')
                throw fail("endereço IPv6 inválido");
        hostEnd = close + 1;
        colon = text.find(':', hostEnd);
    } else {
        colon = text.find(':');
        hostEnd = std::min(text.find('/'), colon);
        if (colon == std::string::npos)
            throw fail("falta o \":\" entre servidor e caminho");
        if (hostEnd == 0)
            throw fail("falta o servidor");
        for (size_t i = 0; i < hostEnd; ++i)
            if (!isHostCharacter(text[i]))
                throw fail("servidor inválido");
    }
    if (colon == std::string::npos)
        throw fail("falta o \":\" entre servidor e caminho");
    if (hostEnd < colon) {
        // "/port" or "/service" after the host.
        if (text[hostEnd] != '/' || hostEnd + 1 == colon)
            throw fail("porta inválida");
        for (size_t i = hostEnd + 1; i < colon; ++i)
            if (!isPortCharacter(text[i]))
                throw fail("porta inválida");
    }
    address.host = text.substr(0, colon);
    address.path = text.substr(colon + 1);
    if (address.path.empty())
        throw fail("falta o caminho");
    // A single letter before ":\" is a drive letter, not a server: the client would look that
    // letter up as a host name and send it the credentials.
    if (colon == 1 && (address.path[0] == '\\' || address.path[0] == '/'))
        throw fail("\"" + address.host + ":\" é uma letra de unidade, falta o servidor");
    const size_t lastSeparator = address.path.find_last_of("/\\");
    address.fileName =
        lastSeparator == std::string::npos ? address.path : address.path.substr(lastSeparator + 1);
    if (address.fileName.empty())
        throw fail("o caminho termina sem nome de arquivo");
    // Blanks typed before the file name are not part of it (the guard reads it trimmed).
    address.path = address.path.substr(0, address.path.size() - address.fileName.size()) +
                   sync::attachedFileName(address.fileName);
    if (address.path.find_first_of("\r\n") != std::string::npos ||
        address.path.find('\0') != std::string::npos)
        throw fail("caminho inválido");
    return address;
}

namespace {

// Whole seconds, 1 to the server's largest wait.
int parseLockTimeout(const std::string& text) {
    const bool digits =
        !text.empty() && text.size() <= 5 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    const int seconds = digits ? std::atoi(text.c_str()) : 0;
    if (seconds < 1 || seconds > data::kMaxLockTimeoutSeconds)
        throw UsageError("--lock-timeout precisa de um número de segundos de 1 a " +
                         std::to_string(data::kMaxLockTimeoutSeconds));
    return seconds;
}

} // namespace

Options parseArguments(const std::vector<std::string>& arguments) {
    Options options;
    bool haveSource = false;
    bool haveTarget = false;
    bool haveProcesses = false;
    std::vector<std::string> seen;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const Argument argument = splitArgument(shortOption(arguments[i]));
        const std::string& name = argument.name;
        if (name.rfind("--", 0) != 0)
            // The argument itself is not shown: it may be a password typed in the wrong place.
            throw UsageError("argumento inesperado na posição " + std::to_string(i + 1) + " (veja --help)");
        const auto once = [&] {
            if (std::find(seen.begin(), seen.end(), name) != seen.end())
                throw UsageError(name + " dado mais de uma vez");
            seen.push_back(name);
        };
        const auto flag = [&](bool& value) {
            if (argument.inlineValue)
                throw UsageError(name + " não aceita valor");
            once();
            value = true;
        };
        const auto value = [&]() -> std::string {
            once();
            if (argument.inlineValue)
                return *argument.inlineValue;
            if (i + 1 >= arguments.size())
                throw UsageError(name + " precisa de um valor");
            return arguments[++i];
        };
        if (name == "--source") {
            options.source = parseDatabaseAddress(value(), name);
            haveSource = true;
        } else if (name == "--target") {
            options.target = parseDatabaseAddress(value(), name);
            haveTarget = true;
        } else if (name == "--processes") {
            options.processes = parseProcessList(value());
            haveProcesses = true;
        } else if (name == "--dry-run") {
            flag(options.dryRun);
        } else if (name == "--fast") {
            flag(options.fast);
        } else if (name == "--check") {
            flag(options.check);
        } else if (name == "--alter") {
            flag(options.alter);
        } else if (name == "--script") {
            options.scriptFile = value();
        } else if (name == "--report") {
            options.reportFile = value();
        } else if (name == "--lock-timeout") {
            options.lockTimeout = parseLockTimeout(value());
        } else if (name == "--source-user") {
            options.sourceUser = value();
        } else if (name == "--target-user") {
            options.targetUser = value();
        } else if (name == "--source-password-file") {
            options.sourcePasswordFile = value();
        } else if (name == "--target-password-file") {
            options.targetPasswordFile = value();
        } else if (name == "--help") {
            flag(options.help);
        } else if (name == "--version") {
            flag(options.version);
        } else if (name == "--quiet") {
            flag(options.quiet);
        } else if (name == "--verbose") {
            flag(options.verbose);
        } else if (name == "--source-password" || name == "--target-password" || name == "--password") {
            throw UsageError(name +
                             " não existe: a senha não vai na linha de comando (use VISTREL_SOURCE_PASSWORD, "
                             "VISTREL_TARGET_PASSWORD ou --source-password-file / --target-password-file)");
        } else {
            throw UsageError("opção desconhecida: " + name + " (veja --help)");
        }
    }
    if (options.help || options.version)
        return options;
    if (!haveSource)
        throw UsageError("falta --source SERVIDOR:CAMINHO (veja --help)");
    if (!haveTarget)
        throw UsageError("falta --target SERVIDOR:CAMINHO (veja --help)");
    if (options.check && options.dryRun)
        throw UsageError("--check e --dry-run não vão juntos");
    if (options.check && options.scriptFile)
        throw UsageError("--check e --script não vão juntos");
    if (options.quiet && options.verbose)
        throw UsageError("--quiet e --verbose não vão juntos");
    if (!haveProcesses)
        options.processes = knownProcesses();
    return options;
}

Environment processEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr)
            return std::nullopt;
        return std::string(value);
    };
}

Credentials resolveCredentials(Side side, const Options& options, const Environment& environment) {
    const bool source = side == Side::Source;
    const std::optional<std::string>& userOption = source ? options.sourceUser : options.targetUser;
    const std::optional<std::string>& passwordFile =
        source ? options.sourcePasswordFile : options.targetPasswordFile;
    const char* const passwordVariable = source ? "VISTREL_SOURCE_PASSWORD" : "VISTREL_TARGET_PASSWORD";

    Credentials credentials;
    if (userOption && !userOption->empty())
        credentials.user = *userOption;
    else if (const auto user = environment("ISC_USER"); user && !user->empty())
        credentials.user = *user;
    else
        credentials.user = kDefaultUser;

    if (passwordFile) {
        credentials.password = readPasswordFile(*passwordFile);
    } else if (const auto own = environment(passwordVariable); own && !own->empty()) {
        credentials.password = *own;
    } else if (const auto common = environment("ISC_PASSWORD"); common && !common->empty()) {
        credentials.password = *common;
    } else {
        throw UsageError(std::string("sem senha para ") + (source ? "a origem" : "o destino") + ": defina " +
                         passwordVariable + " (ou ISC_PASSWORD) ou use " +
                         (source ? "--source-password-file" : "--target-password-file"));
    }
    return credentials;
}

std::string readPasswordFile(const std::string& path) {
    const std::string lead = "arquivo de senha \"" + path + "\": ";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw UsageError(lead + std::strerror(errno));
    // The checks and the read go through the same open file, so that the file cannot be swapped
    // between them.
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        throw UsageError(lead + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        throw UsageError(lead + "não é um arquivo comum");
    if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0)
        throw UsageError(lead + "outros usuários podem lê-lo (use chmod 600)");
    std::string content;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw UsageError(lead + std::strerror(errno));
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<size_t>(got));
        if (content.size() > kPasswordFileLimit)
            throw UsageError(lead + "grande demais para um arquivo de senha");
    }
    const size_t lineEnd = content.find_first_of("\r\n");
    std::string password = content.substr(0, lineEnd);
    if (password.empty())
        throw UsageError(lead + "a primeira linha está vazia");
    return password;
}

} // namespace vistrel::cli
