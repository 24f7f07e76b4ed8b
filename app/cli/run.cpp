#include "app/cli/run.h"

#include "app/buildinfo.h"
#include "app/cli/output.h"
#include "app/cli/processtable.h"
#include "app/cli/review.h"
#include "app/cli/signals.h"
#include "app/cli/streamview.h"
#include "data/errors.h"
#include "data/strings.h"
#include "sync/components.h"
#include "sync/guard.h"
#include "sync/plan.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <set>

namespace vistrel::cli {

namespace {

const std::string kLead = "vistrel-sync: ";
// Before each statement that -v shows as it goes to the target.
constexpr char kExecuting[] = "Executando no destino: ";

// What one process left behind, for the summary.
struct ProcessSummary {
    const ProcessEntry* entry;
    sync::RunCounts counts;
    bool interrupted = false; // the connection was lost: nothing of it is reported as done
    bool fatal = false;       // ... or a fatal server error ended the run
    // It ended before its last object: by this signal (0: none), or by an error.
    int stoppedBy = 0;
    bool endedByError = false;
};

std::string label(const ProcessEntry& entry) {
    return sync::processLabel(entry);
}

void writeSummary(Output& output, const std::vector<ProcessSummary>& summaries) {
    for (const ProcessSummary& summary : summaries) {
        if (summary.interrupted) {
            output.outLine(summary.fatal ? label(*summary.entry) + " interrompido (erro grave)"
                                         : sync::interruptedLine(*summary.entry));
            continue;
        }
        // A process an error or a signal ended before any object is not "nenhum objeto".
        const bool ended = summary.stoppedBy != 0 || summary.endedByError;
        if (!summary.counts.empty() || !ended)
            for (const std::string& line : sync::summaryLines(*summary.entry, summary.counts))
                output.outLine(line);
        // What it did is counted above; that it did not reach its end is said here.
        if (summary.stoppedBy != 0)
            output.outLine(label(*summary.entry) + " interrompido (sinal " + signalName(summary.stoppedBy) +
                           ")");
        else if (summary.endedByError)
            output.outLine(label(*summary.entry) + " interrompido (erro)");
    }
}

// The kinds that the chosen processes walk.
sync::KindSelection selectedKinds(const std::vector<int>& processes) {
    sync::KindSelection kinds;
    for (const int number : processes) {
        const sync::KindSelection k = sync::processKinds(number);
        kinds.generators |= k.generators;
        kinds.exceptions |= k.exceptions;
        kinds.domains |= k.domains;
        kinds.tables |= k.tables;
        kinds.views |= k.views;
        kinds.procedures |= k.procedures;
        kinds.triggers |= k.triggers;
        kinds.indexes |= k.indexes;
        kinds.constraints |= k.constraints;
    }
    return kinds;
}

// The check's answer, from the plan: per process and kind what a run would create and what
// differs, every such object by name, the objects only in the target. Returns the number of
// objects that differ (to create, to alter, refused).
int writeCheck(Output& output, const std::vector<int>& processes, const std::vector<sync::Difference>& plan,
               bool alterar) {
    int create = 0;
    int alter = 0;
    int refused = 0;
    for (const int number : processes) {
        const ProcessEntry& entry = processEntry(number);
        for (const sync::ObjectType type : sync::processObjectTypes(number)) {
            int toCreate = 0;
            int toAlter = 0;
            for (const sync::Difference& r : plan) {
                if (r.type != type)
                    continue;
                toCreate += r.action == sync::DifferenceAction::Create;
                toAlter += r.action == sync::DifferenceAction::Alter;
                // Without --alter a refused change is one more difference; with it, a run
                // would leave it as it is, so it is listed and counted apart.
                if (r.action == sync::DifferenceAction::Refused)
                    (alterar ? refused : toAlter) += 1;
            }
            output.outLine(label(entry) + " a criar: " + kindName(type) + " " + std::to_string(toCreate));
            if (toAlter > 0)
                output.outLine(label(entry) + " a alterar: " + kindName(type) + " " +
                               std::to_string(toAlter));
            create += toCreate;
            alter += toAlter;
        }
        for (const sync::Difference& r : plan) {
            const auto types = sync::processObjectTypes(number);
            if (r.action == sync::DifferenceAction::Same ||
                std::find(types.begin(), types.end(), r.type) == types.end())
                continue;
            output.outLine(label(entry) + " " + sync::differenceLine(r));
            for (const std::string& refusal : r.refusals)
                output.outLine(label(entry) + "     Alteração recusada: " + refusal);
        }
    }
    if (refused > 0)
        output.outLine(std::to_string(refused) +
                       " objeto(s) com alteração recusada, que a execução deixa como estão.");
    if (refused > 0)
        output.outLine(std::to_string(refused) +
                       " objeto(s) com alteração recusada, que a execução deixa como estão.");
    if (create + alter == 0)
        output.outLine("Destino em dia: nada a criar.");
    else
        output.outLine("Destino desatualizado: " + std::to_string(create) + " objeto(s) a criar, " +
                       std::to_string(alter) + " objeto(s) a alterar.");
    return create + alter;
}

// Writes a review file; a file that cannot be written is a usage error of its own.
bool writeFile(Output& output, const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        output.errLine(kLead + "não foi possível gravar " + path);
        return false;
    }
    return true;
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
        output.setQuiet(options.quiet);
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

    const bool scripting = options.scriptFile.has_value();
    const bool writes = !options.dryRun && !options.check && !scripting;
    // A script run goes every way a run goes, its statements kept for the script instead of sent.
    std::vector<std::string> scriptStatements;
    data::setLockTimeoutSeconds(options.lockTimeout);
    StreamView view(output, StreamView::Settings{
                                .criarauto = writes || scripting,
                                .rapido = options.fast,
                                .targetWrites = writes || scripting,
                                .alterar = options.alter && !options.check,
                                .script = scripting ? &scriptStatements : nullptr,
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

    if (options.verbose) {
        // The statement without the line breaks around it, so that it follows its lead-in.
        const auto show = [&output](const std::string& statement) {
            output.processEntry(kExecuting + data::trim(statement));
        };
        components->IBDatabase2().OnExecute = show;
        components->SQLConnection().OnExecute = show;
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

    // The plan before anything runs, for the report.
    const sync::KindSelection kinds = selectedKinds(options.processes);
    std::vector<sync::Difference> planBefore;
    if (options.reportFile) {
        try {
            planBefore = sync::planDifferences(*components, kinds);
            if (components->IBTransaction2().Active())
                components->IBTransaction2().Commit();
        } catch (const std::exception& error) {
            output.errLine(kLead + "não foi possível ler as diferenças: " + oneLine(error.what()));
            return kExitUsage;
        }
    }

    std::vector<ProcessSummary> summaries;
    bool failed = false;
    for (const int number : options.processes) {
        // A signal that came between two processes (or while connecting) lets no other begin.
        if (receivedSignal() != 0)
            break;
        const ProcessEntry& entry = processEntry(number);
        view.beginProcess(entry.number, entry.commandName,
                          [&components] { return sync::targetViewNames(*components); });
        std::optional<std::string> escaped;
        bool stopped = false;
        bool fatal = false;
        try {
            sync::runProcess(entry, *components, view);
            view.flushPendingMessage();
        } catch (const data::EAbort&) {
            if (receivedSignal() != 0) {
                // A signal stopped the run before its next object.
                view.flushPendingMessage();
                stopped = true;
            } else {
                // The guard refused the run; its message says why.
                output.clearProgress();
                output.errorEntry(view.takePendingMessage());
                writeSummary(output, summaries);
                return kExitGuard;
            }
        } catch (const data::EIBConnectionLost& lost) {
            // The run ended at the call that found a connection gone, or a database that cannot go
            // on (a full disk); the line below says which.
            view.flushPendingMessage();
            escaped = lost.serverMessage();
            fatal = dynamic_cast<const data::EIBFatalServerError*>(&lost) != nullptr;
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
            } catch (const data::EIBConnectionLost& lost) {
                // The commit itself met the loss (or the full disk).
                escaped = lost.serverMessage();
                fatal = dynamic_cast<const data::EIBFatalServerError*>(&lost) != nullptr;
                targetLost = true;
            } catch (const std::exception& error) {
                if (!escaped)
                    escaped = error.what();
            }
        }
        if (sourceLost || targetLost) {
            output.clearProgress();
            const std::string where = fatal ? (sourceLost ? " erro grave na origem " + sourceName
                                                          : " erro grave no destino " + targetName)
                                            : (sourceLost ? " conexão perdida com a origem " + sourceName
                                                          : " conexão perdida com o destino " + targetName);
            output.errLine(
                kLead + label(entry) + where + (escaped ? ": " + oneLine(*escaped) : std::string()) +
                "; o processo não terminou e o que ele fez depois da última confirmação não ficou no "
                "destino");
            summaries.push_back({&entry, view.counts(), true, fatal});
            writeSummary(output, summaries);
            return kExitUsage;
        }
        if (escaped) {
            output.errLine(kLead + label(entry) + " " + oneLine(*escaped));
            view.countEscapedFailure();
            failed = true;
        }
        summaries.push_back(
            {&entry, view.counts(), false, false, stopped ? receivedSignal() : 0, escaped.has_value()});
        for (const auto& [kind, counts] : summaries.back().counts)
            if (counts.failed > 0)
                failed = true;
        if (stopped)
            break;
    }
    output.clearProgress();
    const int signal = receivedSignal();
    if (signal != 0)
        output.errLine(kLead + "interrompido pelo sinal " + std::string(signalName(signal)) +
                       "; o que foi feito ficou no destino e o resto não foi começado");

    // The check's plan and the report's outcomes, read before the sessions go.
    std::vector<sync::Difference> planAfter;
    bool planAfterRead = false;
    if (signal == 0 && (options.check || (options.reportFile && writes))) {
        try {
            planAfter = sync::planDifferences(*components, kinds);
            planAfterRead = true;
        } catch (const std::exception& error) {
            output.errLine(kLead + "não foi possível ler as diferenças: " + oneLine(error.what()));
            failed = true;
        }
    }

    try {
        disconnect(*components);
    } catch (const std::exception& error) {
        output.errLine(kLead + "ao desconectar: " + oneLine(error.what()));
        writeSummary(output, summaries);
        return kExitUsage;
    }
    writeSummary(output, summaries);
    if (scripting && !writeFile(output, *options.scriptFile, isqlScript(scriptStatements)))
        return kExitUsage;
    if (options.reportFile) {
        if (writes && planAfterRead)
            setOutcomes(planBefore, planAfter);
        else if (writes)
            // What the run made of them cannot be told without the catalogues read again.
            for (sync::Difference& record : planBefore)
                record.outcome = "unknown";
        const std::string mode = options.check    ? "check"
                                 : scripting      ? "script"
                                 : options.dryRun ? "dry-run"
                                                  : "run";
        if (!writeFile(
                output, *options.reportFile,
                jsonReport({.source = sourceName, .target = targetName, .mode = mode, .alter = options.alter},
                           planBefore)))
            return kExitUsage;
    }
    if (signal != 0)
        return kExitSignalBase + signal;
    // A check that could not read the differences answers nothing about them.
    if (options.check && !planAfterRead)
        return kExitUsage;
    if (options.check) {
        const int differing = writeCheck(output, options.processes, planAfter, options.alter);
        return differing > 0 || failed ? kExitObjectFailed : kExitDone;
    }
    return failed ? kExitObjectFailed : kExitDone;
}

} // namespace vistrel::cli
