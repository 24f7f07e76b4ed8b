#include "app/cli/run.h"

#include "app/buildinfo.h"
#include "app/cli/output.h"
#include "app/cli/processtable.h"
#include "app/cli/streamview.h"
#include "data/errors.h"
#include "data/strings.h"
#include "sync/components.h"
#include "sync/guard.h"

#include <exception>
#include <memory>
#include <optional>
#include <set>

namespace vistrel::cli {

namespace {

const std::string kLead = "vistrel-sync: ";

// What one process left behind, for the summary.
struct ProcessSummary {
    const ProcessEntry* entry;
    std::vector<std::pair<sync::ObjectType, KindCounts>> counts;
    bool interrupted = false;
};

std::string label(const ProcessEntry& entry) {
    return "[" + std::to_string(entry.number) + " " + entry.name + "]";
}

void writeSummary(Output& output, const std::vector<ProcessSummary>& summaries) {
    for (const ProcessSummary& summary : summaries) {
        if (summary.interrupted) {
            output.outLine(label(*summary.entry) + " interrompido (conexão perdida)");
            continue;
        }
        if (summary.counts.empty())
            output.outLine(label(*summary.entry) + " nenhum objeto");
        for (const auto& [kind, counts] : summary.counts)
            output.outLine(label(*summary.entry) + " " + kindName(kind) + ": percorridos " +
                           std::to_string(counts.walked) + ", faltando " + std::to_string(counts.missing) +
                           ", criados " + std::to_string(counts.created) + ", falhas " +
                           std::to_string(counts.failed));
    }
}

// The check's answer: per kind what a run would create. Returns the number of such objects.
int writeCheck(Output& output, const std::vector<ProcessSummary>& summaries) {
    int total = 0;
    for (const ProcessSummary& summary : summaries)
        for (const auto& [kind, counts] : summary.counts) {
            output.outLine(label(*summary.entry) + " a criar: " + kindName(kind) + " " +
                           std::to_string(counts.written));
            total += counts.written;
        }
    if (total == 0)
        output.outLine("Destino em dia: nada a criar.");
    else
        output.outLine("Destino desatualizado: " + std::to_string(total) + " objeto(s) a criar.");
    return total;
}

constexpr char kTargetViews[] = "SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE RDB$VIEW_BLR IS NOT NULL";

// The names of the target's views, read through a cursor of the command's own in the target
// session's transaction.
std::set<std::string> targetViews(sync::SyncComponents& components) {
    std::set<std::string> names;
    data::TIBDataSet views;
    views.setDatabase(&components.IBDatabase2());
    views.SelectSQL().Add(kTargetViews);
    views.Open();
    while (!views.Eof()) {
        names.insert(data::trim(views.FieldByName("RDB$RELATION_NAME").AsString()));
        views.Next();
    }
    views.Close();
    return names;
}

// Whether the session still reaches its database. A session that a refused commit detached is
// attached again (its server is there); one whose attachment answers no more, or that cannot be
// attached again, has lost its server.
bool sessionUsable(data::TIBDatabase& session) {
    try {
        if (!session.Connected()) {
            session.setConnected(true);
            return true;
        }
        (void)session.odsMajorVersion();
        return true;
    } catch (const std::exception&) {
        session.forceClose();
        return false;
    }
}

// Detaches both sessions and closes the direct-execution connection; a refused commit leaves as
// an error once every session is detached.
void disconnect(sync::SyncComponents& components) {
    std::exception_ptr failure;
    for (data::TIBDatabase* session : {&components.IBDatabase2(), &components.IBDatabase1()}) {
        try {
            session->setConnected(false);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    components.SQLConnection().setConnected(false);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

std::string oneLine(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            if (i + 1 < text.size())
                out += "; ";
        } else {
            out += text[i];
        }
    }
    return out;
}

int runCommand(const std::vector<std::string>& arguments, const Environment& environment, std::ostream& out,
               std::ostream& err, Terminal terminal, const std::string& programPath) {
    Output output(out, err, terminal.progress, terminal.width);
    const auto usageError = [&](const std::exception& error) {
        output.errLine(kLead + oneLine(error.what()));
        return kExitUsage;
    };

    Options options;
    Credentials sourceCredentials;
    Credentials targetCredentials;
    try {
        options = parseArguments(arguments);
        if (options.help) {
            out << usageText();
            return kExitDone;
        }
        if (options.version) {
            output.outLine(app::versionLabelText(programPath));
            return kExitDone;
        }
        sourceCredentials = resolveCredentials(Side::Source, options, environment);
        targetCredentials = resolveCredentials(Side::Target, options, environment);
    } catch (const UsageError& error) {
        return usageError(error);
    }

    // The guard first: two databases of different file names are never attached at all.
    if (!sync::sameDatabaseFileName(options.source.fileName, options.target.fileName)) {
        output.errorEntry(sync::kSameNameGuardMessage);
        return kExitGuard;
    }

    const bool writes = !options.dryRun && !options.check;
    StreamView view(output, StreamView::Settings{
                                .criarauto = writes,
                                .rapido = options.fast,
                                .targetWrites = writes,
                                .sourceFileName = options.source.fileName,
                                .targetFileName = options.target.fileName,
                            });
    std::unique_ptr<sync::SyncComponents> components;
    try {
        components = std::make_unique<sync::SyncComponents>();
    } catch (const std::exception& error) {
        // The client library cannot be loaded.
        return usageError(error);
    }

    // Both rows as the window's "Conectar" buttons attach them: the source, then the
    // direct-execution connection and the target.
    const std::string sourceName = options.source.databaseName();
    const std::string targetName = options.target.databaseName();
    try {
        components->setSourceLogin(sourceName, sourceCredentials.user, sourceCredentials.password);
        components->IBDatabase1().setConnected(true);
    } catch (const std::exception& error) {
        output.errLine(kLead + "não foi possível conectar à origem " + sourceName + ": " +
                       oneLine(error.what()));
        return kExitUsage;
    }
    try {
        components->connectDirectConnection(targetName, targetCredentials.user, targetCredentials.password);
        components->setTargetLogin(targetName, targetCredentials.user, targetCredentials.password);
        components->IBDatabase2().setConnected(true);
    } catch (const std::exception& error) {
        output.errLine(kLead + "não foi possível conectar ao destino " + targetName + ": " +
                       oneLine(error.what()));
        return kExitUsage;
    }

    std::vector<ProcessSummary> summaries;
    bool failed = false;
    for (const int number : options.processes) {
        const ProcessEntry& entry = processEntry(number);
        view.beginProcess(entry.number, entry.name);
        std::optional<std::string> escaped;
        try {
            if (entry.number == 4)
                view.setTargetViews(targetViews(*components));
            entry.run(*components, view);
            view.flushPendingMessage();
        } catch (const data::EAbort&) {
            // The guard refused the run; its message says why.
            output.clearProgress();
            output.errorEntry(view.takePendingMessage());
            writeSummary(output, summaries);
            return kExitGuard;
        } catch (const data::EIBConnectionLost& lost) {
            // The run ended at the call that found a connection gone; the line below says which.
            view.flushPendingMessage();
            escaped = lost.serverMessage();
        } catch (const std::exception& error) {
            view.flushPendingMessage();
            escaped = error.what();
        }
        // A row whose connection a call found lost; else one that no longer answers.
        bool sourceLost = components->IBDatabase1().connectionLost();
        bool targetLost = !sourceLost && (components->IBDatabase2().connectionLost() ||
                                          components->SQLConnection().connectionLost());
        if (!sourceLost && !targetLost) {
            sourceLost = !sessionUsable(components->IBDatabase1());
            targetLost = !sourceLost && !sessionUsable(components->IBDatabase2());
        }
        if (!sourceLost && !targetLost) {
            // What the process executed on the target is committed before it counts as done; a
            // check executed nothing and keeps nothing.
            try {
                data::TIBTransaction& targetTransaction = components->IBTransaction2();
                if (targetTransaction.Active()) {
                    if (writes)
                        targetTransaction.Commit();
                    else
                        targetTransaction.Rollback();
                }
            } catch (const std::exception& error) {
                if (!escaped)
                    escaped = error.what();
            }
        }
        if (sourceLost || targetLost) {
            output.clearProgress();
            output.errLine(
                kLead + label(entry) + " conexão perdida com " +
                (sourceLost ? "a origem " + sourceName : "o destino " + targetName) +
                (escaped ? ": " + oneLine(*escaped) : std::string()) +
                "; o processo não terminou e o que ele fez depois da última confirmação não ficou no "
                "destino");
            summaries.push_back({&entry, view.counts(), true});
            writeSummary(output, summaries);
            return kExitUsage;
        }
        if (escaped) {
            output.errLine(kLead + label(entry) + " " + oneLine(*escaped));
            view.countEscapedFailure();
            failed = true;
        }
        summaries.push_back({&entry, view.counts(), false});
        for (const auto& [kind, counts] : summaries.back().counts)
            if (counts.failed > 0)
                failed = true;
    }
    output.clearProgress();

    try {
        disconnect(*components);
    } catch (const std::exception& error) {
        output.errLine(kLead + "ao desconectar: " + oneLine(error.what()));
        writeSummary(output, summaries);
        return kExitUsage;
    }
    writeSummary(output, summaries);
    if (options.check) {
        const int toCreate = writeCheck(output, summaries);
        return toCreate > 0 || failed ? kExitObjectFailed : kExitDone;
    }
    return failed ? kExitObjectFailed : kExitDone;
}

} // namespace vistrel::cli
