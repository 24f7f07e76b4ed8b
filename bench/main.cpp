// vistrel_bench: the seven processes on a large generated schema, against the private server.
//
//   vistrel_bench [--scale F] [--compare G] [--memory-runs N] [--async-writes] [--processes P]
//
// Builds a source of 300 tables of 15 columns, 100 views, 200 procedures, 400 triggers,
// 400 indexes, 200 generators, 100 exceptions and 100 domains (every count times F, default 1)
// and an empty target of the same file name in another folder. Then, for processes 1 to 7 in
// order, runs each on the still empty target and again on the now full one, and prints per run
// the wall time, the objects walked and handled, the client calls and statements sent, the peak
// memory and the passes of the event loop. Beside each run it times the floor that the design
// implies (its mandated queries and reconnects alone), the extractor calls alone, and the time
// isql-fb takes to apply the same objects' DDL extracted with isql-fb -x onto a fresh database.
// --async-writes turns forced writes off on the target and the isql-fb database. Then it runs
// each process N times more on the full target (--memory-runs, default 30) and prints the resident
// memory after the first and the last of them. --compare G does it all again at scale G and prints
// the time per handled object of each process at both scales side by side, with its growth.
// --processes P runs processes 1 to P only (default 7), for profiling one process at two scales with
// what it needs on the target before it.
//
// The server is the one named by VISTREL_FB_ENV (scripts/bench.sh starts a private one); without
// it the test support starts a private server of its own.
#include "bench/floor.h"
#include "bench/isqlapply.h"
#include "bench/schema.h"

#include "data/ibdatabase.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "sync/registry.h"
#include "tests/support/scratchdatabase.h"
#include "tests/support/testserver.h"
#include "tests/sync/testhost.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vistrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double seconds = 0;
    uint64_t calls = 0;
    uint64_t statements = 0;
    uint64_t commits = 0;
    double commitSeconds = 0; // time spent waiting for the commits' answers
};

Sample measure(const std::function<void()>& work) {
    const uint64_t calls = data::clientCallCount();
    const uint64_t statements = data::statementPrepareCount();
    const uint64_t commits = data::commitCount();
    const double commitSeconds = data::commitSeconds();
    const auto start = Clock::now();
    work();
    const std::chrono::duration<double> took = Clock::now() - start;
    return {took.count(), data::clientCallCount() - calls, data::statementPrepareCount() - statements,
            data::commitCount() - commits, data::commitSeconds() - commitSeconds};
}

// Peak resident memory of this program: /proc/self/clear_refs with "5" resets VmHWM to the
// current resident size, so that the next reading is the peak of what ran in between.
bool resetPeakMemory() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, length, key) == 0 && line.size() > length && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    return -1;
}

struct Process {
    int number;
    std::string label;
    sync::ProcessEntry run;
};

// Processes 1 to 7 as the registry gives them.
const std::vector<Process>& benchedProcesses() {
    static const std::vector<Process> processes = [] {
        std::vector<Process> out;
        for (const sync::ProcessRecord& record : sync::processRegistry())
            if (record.number <= 7)
                out.push_back(
                    {record.number, std::to_string(record.number) + " " + record.commandName, record.run});
        return out;
    }();
    return processes;
}

struct Run {
    const Process* process = nullptr;
    const char* target = "";
    DesignCount design;
    Sample floor;
    Sample extraction;
    int executedTexts = 0; // extracted texts the design executes (non-empty ones)
    Sample run;
    long peakKb = -1;
    long growthKb = -1;
    int events = 0;
    int failures = 0;  // failure lines in either log
    std::string error; // an error that ended the run
};

bool isFailureLine(const std::string& entry) {
    // The processes' fixed failure lines in the process log (indexes, views) begin alike.
    static const std::string kFailure = "Não foi possivel";
    return entry.compare(0, kFailure.size(), kFailure) == 0;
}

int failureLines(const test::TestHost& host, size_t processLogFrom, size_t errorLogFrom) {
    int count = static_cast<int>(host.errorLog.size() - errorLogFrom);
    for (size_t i = processLogFrom; i < host.processLog.size(); ++i)
        if (isFailureLine(host.processLog[i]))
            ++count;
    return count;
}

Run runOnce(const Process& p, const char* target, test::TestHost& host) {
    Run r;
    r.process = &p;
    r.target = target;

    // The floor first, on the state the process is about to meet.
    r.floor = measure([&] {
        try {
            r.design = runFloor(p.number, host.components());
        } catch (const std::exception& e) {
            r.error = std::string("the floor failed: ") + e.what();
        }
    });

    // The procedure process clears the process log: keep it, to count what this run wrote.
    const size_t logFrom = p.number == 5 ? 0 : host.processLog.size();
    const size_t errorFrom = host.errorLog.size();
    const int eventsFrom = host.processEventsCalls;
    const bool reset = resetPeakMemory();
    const long rssBefore = statusKb("VmRSS");
    r.run = measure([&] {
        try {
            host.run(p.run);
        } catch (const std::exception& e) {
            r.error += (r.error.empty() ? "" : "; ") + std::string(e.what());
        }
    });
    if (reset) {
        r.peakKb = statusKb("VmHWM");
        r.growthKb = r.peakKb - rssBefore;
    }
    r.events = host.processEventsCalls - eventsFrom;
    r.failures = failureLines(host, logFrom, errorFrom);

    // The extractor calls the design makes for this run, alone.
    r.extraction = measure([&] {
        extract::TIBExtract& extractor = host.IBExtract1();
        for (const Extraction& e : r.design.extractions) {
            extractor.ExtractObject(e.kind, e.name, extract::TExtractTypes{});
            if (!extractor.Items().Text().empty())
                ++r.executedTexts;
        }
    });
    return r;
}

// What one target reconnect costs when the session is the target's only attachment (the server
// closes the database at the detach and opens it again at the attach) and when another attachment
// keeps it open, as the direct-execution connection does until its first commit closes it.
struct ReconnectCost {
    double alone = 0;
    double shared = 0;
};

ReconnectCost reconnectCost(test::TestHost& host, const test::ScratchDatabase& target, int times) {
    auto reconnects = [&] {
        for (int i = 0; i < times; ++i)
            host.components().targetReconnect();
    };
    ReconnectCost cost;
    host.SQLConnection().setConnected(false);
    cost.alone = measure(reconnects).seconds / times;
    data::TIBDatabase other;
    other.setServerType("IBServer");
    other.setDatabaseName(target.connectionString());
    other.Params().Add("user_name=" + target.user());
    other.Params().Add("password=" + target.password());
    other.setConnected(true);
    cost.shared = measure(reconnects).seconds / times;
    other.setConnected(false);
    return cost;
}

std::string countsLine(const test::ScratchDatabase& db) {
    static const char* const kCounts[][2] = {
        {"generators", "SELECT COUNT(*) FROM RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"},
        {"exceptions", "SELECT COUNT(*) FROM RDB$EXCEPTIONS"},
        {"domains", "SELECT COUNT(*) FROM RDB$FIELDS WHERE RDB$FIELD_NAME NOT STARTING WITH 'RDB$' AND "
                    "COALESCE(RDB$SYSTEM_FLAG, 0) = 0"},
        {"tables", "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$VIEW_BLR IS NULL AND "
                   "COALESCE(RDB$SYSTEM_FLAG, 0) = 0"},
        {"columns",
         "SELECT COUNT(*) FROM RDB$RELATION_FIELDS F JOIN RDB$RELATIONS R ON R.RDB$RELATION_NAME = "
         "F.RDB$RELATION_NAME WHERE R.RDB$VIEW_BLR IS NULL AND COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0"},
        {"views", "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$VIEW_BLR IS NOT NULL AND "
                  "COALESCE(RDB$SYSTEM_FLAG, 0) = 0"},
        {"procedures", "SELECT COUNT(*) FROM RDB$PROCEDURES"},
        {"triggers", "SELECT COUNT(*) FROM RDB$TRIGGERS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0"},
        {"indexes", "SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME NOT STARTING WITH 'RDB$' AND "
                    "COALESCE(RDB$SYSTEM_FLAG, 0) = 0"},
    };
    std::string line;
    for (const auto& c : kCounts)
        line += std::string(line.empty() ? "" : ", ") + c[0] + " " + db.queryValue(c[1]);
    return line;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void printMegabytes(long kb) {
    if (kb < 0)
        std::printf(" %7s", "n/a");
    else
        std::printf(" %7.1f", kb / 1024.0);
}

// The resident memory a process leaves after its first and after its last of many runs on the
// full target, in one session as the window would run them again and again.
struct MemoryOverRuns {
    const Process* process = nullptr;
    int runs = 0;
    long firstKb = -1;
    long lastKb = -1;
};

MemoryOverRuns memoryOverRuns(const Process& p, test::TestHost& host, int runs) {
    MemoryOverRuns m{&p, runs};
    for (int i = 0; i < runs; ++i) {
        try {
            host.run(p.run);
        } catch (const std::exception&) {
        }
        host.processLog.clear();
        host.errorLog.clear();
        host.messages.clear();
        if (i == 0)
            m.firstKb = statusKb("VmRSS");
    }
    m.lastKb = statusKb("VmRSS");
    return m;
}

void printMemory(const std::vector<MemoryOverRuns>& memory) {
    if (memory.empty() || memory.front().runs < 1)
        return;
    std::printf("\nResident memory over %d runs of each process on the full target\n", memory.front().runs);
    std::printf("%-15s %10s %10s %8s\n", "process", "first MB", "last MB", "+MB");
    for (const MemoryOverRuns& m : memory) {
        std::printf("%-15s", m.process->label.c_str());
        printMegabytes(m.firstKb);
        printMegabytes(m.lastKb);
        printMegabytes(m.firstKb < 0 || m.lastKb < 0 ? -1 : m.lastKb - m.firstKb);
        std::printf("\n");
    }
}

void printRuns(const std::vector<Run>& runs) {
    std::printf("\nProcess runs (criarauto ticked, rapido not ticked)\n");
    std::printf("%-15s %-6s %8s %7s %8s %9s %7s %7s %8s %7s %7s %12s %6s\n", "process", "target", "wall s",
                "walked", "handled", "calls", "stmts", "commits", "commit s", "peak MB", "+MB", "events/exp",
                "failed");
    for (const Run& r : runs) {
        std::printf("%-15s %-6s %8.2f %7d %8d %9llu %7llu %7llu %8.2f", r.process->label.c_str(), r.target,
                    r.run.seconds, r.design.walked, r.design.handled,
                    static_cast<unsigned long long>(r.run.calls),
                    static_cast<unsigned long long>(r.run.statements),
                    static_cast<unsigned long long>(r.run.commits), r.run.commitSeconds);
        printMegabytes(r.peakKb);
        printMegabytes(r.growthKb);
        const std::string events = std::to_string(r.events) + "/" + std::to_string(r.design.events);
        std::printf(" %12s %6d\n", events.c_str(), r.failures);
        if (!r.error.empty())
            std::printf("    error: %s\n", r.error.c_str());
    }
}

void printFloors(const std::vector<Run>& runs, const std::array<double, 8>& isqlSeconds) {
    std::printf("\nFloors and ratios\n");
    std::printf("%-15s %-6s %8s %6s %9s %7s %9s %7s %8s %10s %10s %6s\n", "process", "target", "floor s",
                "recon", "calls", "stmts", "extract s", "stmts", "isql s", "wall/floor", "wall/isql",
                "extra");
    for (const Run& r : runs) {
        const double isql = isqlSeconds[static_cast<size_t>(r.process->number)];
        // Statements the design sends: the floor's queries, the extractor's, and the DDL it runs.
        const long long expected = static_cast<long long>(r.floor.statements + r.extraction.statements) +
                                   r.design.ddl + r.executedTexts;
        const long long extra = static_cast<long long>(r.run.statements) - expected;
        std::printf("%-15s %-6s %8.2f %6d %9llu %7llu %9.2f %7llu %8.2f %10.2f %10.2f %+6lld\n",
                    r.process->label.c_str(), r.target, r.floor.seconds, r.design.reconnects,
                    static_cast<unsigned long long>(r.floor.calls),
                    static_cast<unsigned long long>(r.floor.statements), r.extraction.seconds,
                    static_cast<unsigned long long>(r.extraction.statements), isql,
                    r.floor.seconds > 0 ? r.run.seconds / r.floor.seconds : 0.0,
                    isql > 0 ? r.run.seconds / isql : 0.0, extra);
    }
}

// Forced writes off: the server no longer waits for the disk at every commit.
void setAsyncWrites(const test::ScratchDatabase& db) {
    const test::ProcessResult r = test::runProcess(
        {"gfix", "-write", "async", "-user", db.user(), "-password", db.password(), db.connectionString()});
    if (r.exitCode != 0)
        throw std::runtime_error("gfix -write async failed on " + db.connectionString() + ": " + r.err);
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--scale F] [--compare G] [--memory-runs N] [--async-writes] [--processes P]   "
                 "(F > 0, default "
                 "1: the full schema; P from 1 to 7)\n",
                 program);
    return 2;
}

// Milliseconds per handled object of each run on the empty target at two scales, side by side,
// and how much the time per object grew from the first scale to the second. Beside them the
// commits of each run and their time per commit: the server carries out DDL and writes its pages
// (one flush to disk each with forced writes on) at the commit, so the growth is shown also for
// the time outside the commits, which is the program's own work and its queries.
struct PerObject {
    int handled = 0;
    double seconds = 0;
    uint64_t commits = 0;
    double commitSeconds = 0;

    void add(const Run& r) {
        handled += r.design.handled;
        seconds += r.run.seconds;
        commits += r.run.commits;
        commitSeconds += r.run.commitSeconds;
    }
    double msPerObject() const { return seconds * 1000 / handled; }
    double msPerCommit() const { return commits == 0 ? 0.0 : commitSeconds * 1000 / commits; }
    double msOutsideCommits() const { return (seconds - commitSeconds) * 1000 / handled; }
};

void printPerObjectLine(const char* label, const PerObject& a, const PerObject& b) {
    std::printf("%-15s %8d %9.2f %7llu %9.2f %8d %9.2f %7llu %9.2f %7.2f %9.2f %9.2f %7.2f\n", label,
                a.handled, a.msPerObject(), static_cast<unsigned long long>(a.commits), a.msPerCommit(),
                b.handled, b.msPerObject(), static_cast<unsigned long long>(b.commits), b.msPerCommit(),
                b.msPerObject() / a.msPerObject(), a.msOutsideCommits(), b.msOutsideCommits(),
                a.msOutsideCommits() > 0 ? b.msOutsideCommits() / a.msOutsideCommits() : 0.0);
}

void printPerObject(double scaleA, const std::vector<Run>& a, double scaleB, const std::vector<Run>& b) {
    std::printf(
        "\nTime per handled object on the empty target, scale %.3g against scale %.3g, with the commits "
        "and the time outside them\n",
        scaleA, scaleB);
    std::printf("%-15s %8s %9s %7s %9s %8s %9s %7s %9s %7s %9s %9s %7s\n", "", "handled", "ms/object",
                "commits", "ms/commit", "handled", "ms/object", "commits", "ms/commit", "", "outside",
                "outside", "");
    std::printf("%-15s %8s %9s %7s %9s %8s %9s %7s %9s %7s %9s %9s %7s\n", "process", "A", "A", "A", "A", "B",
                "B", "B", "B", "growth", "ms/obj A", "ms/obj B", "growth");
    PerObject totalA, totalB;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (std::string(a[i].target) != "empty" || a[i].design.handled == 0 || b[i].design.handled == 0)
            continue;
        PerObject oneA, oneB;
        oneA.add(a[i]);
        oneB.add(b[i]);
        totalA.add(a[i]);
        totalB.add(b[i]);
        printPerObjectLine(a[i].process->label.c_str(), oneA, oneB);
    }
    if (totalA.handled > 0 && totalB.handled > 0)
        printPerObjectLine("all", totalA, totalB);
}

std::vector<Run> runAtScale(double scale, bool asyncWrites, int memoryRuns, int processes) {
    const auto selected = [processes](const Process& p) { return p.number <= processes; };
    const SchemaSize size = SchemaSize::scaled(scale);
    std::printf(
        "Schema (scale %.3g): %d tables of %d columns, %d views, %d procedures, %d triggers, %d indexes, "
        "%d generators, %d exceptions, %d domains\n",
        scale, size.tables, size.columnsPerTable, size.views, size.procedures, size.triggers, size.indexes,
        size.generators, size.exceptions, size.domains);
    std::printf("Machine: %u hardware threads, load average %s at start\n",
                std::thread::hardware_concurrency(), loadAverage().c_str());
    const test::TestServer& server = test::TestServer::instance();
    std::printf("Server: %s (loopback)\n", server.host().c_str());
    std::fflush(stdout);

    test::ScratchDatabase source("bench-source", "vistrel.fdb");
    test::ScratchDatabase target("bench-target", "vistrel.fdb");
    test::ScratchDatabase fresh("bench-isql", "vistrel.fdb");
    // The processes only read the source: its forced writes would slow its generation alone.
    setAsyncWrites(source);
    std::printf("Forced writes on the target and the isql-fb database: %s\n",
                asyncWrites ? "off (gfix -write async)" : "on (the server's default)");
    if (asyncWrites)
        for (const test::ScratchDatabase* db : {&target, &fresh})
            setAsyncWrites(*db);
    const SchemaScripts scripts = generateSchema(size);
    const auto generation = measure([&] {
        for (const std::string* s :
             {&scripts.domains, &scripts.exceptions, &scripts.generators, &scripts.tables, &scripts.views,
              &scripts.procedures, &scripts.triggers, &scripts.indexes})
            source.runSql(*s);
    });
    std::printf("Source generated with isql-fb in %.2f s\n", generation.seconds);

    // The yardstick: isql-fb -x of the source, applied section by section onto a fresh database.
    std::string extracted;
    const auto extraction = measure([&] {
        const test::ProcessResult r =
            test::runProcess({VISTREL_ISQL, "-x", "-user", server.user(), "-password", server.password(),
                              source.connectionString()});
        if (r.exitCode != 0)
            throw std::runtime_error("isql-fb -x failed: " + r.err);
        extracted = r.out;
    });
    const std::vector<IsqlSection> sections = splitExtractedScript(extracted);
    const std::array<double, 8> isqlSeconds = applySections(sections, fresh.connectionString());
    const auto idle =
        measure([&] { server.isqlChecked(fresh.connectionString(), "SELECT 1 FROM RDB$DATABASE;"); });
    std::printf("isql-fb -x took %.2f s (%zu sections); applying them took", extraction.seconds,
                sections.size());
    for (const Process& p : benchedProcesses())
        std::printf(" %d: %.2f s%s", p.number, isqlSeconds[static_cast<size_t>(p.number)],
                    p.number < 7 ? "," : "");
    std::printf(" (one isql-fb start and attach alone: %.2f s)\n", idle.seconds);
    std::fflush(stdout);

    std::vector<Run> runs;
    ReconnectCost reconnect;
    std::vector<MemoryOverRuns> memory;
    {
        test::TestHost host(source, target);
        for (const Process& p : benchedProcesses()) {
            if (!selected(p))
                continue;
            for (const char* state : {"empty", "full"}) {
                runs.push_back(runOnce(p, state, host));
                const Run& r = runs.back();
                std::printf("  %-15s %-5s %7.2f s (floor %.2f s)\n", p.label.c_str(), state, r.run.seconds,
                            r.floor.seconds);
                std::fflush(stdout);
            }
        }
        reconnect = reconnectCost(host, target, 50);
        for (const Process& p : benchedProcesses())
            if (selected(p))
                memory.push_back(memoryOverRuns(p, host, memoryRuns));
    }

    printRuns(runs);
    printFloors(runs, isqlSeconds);
    double empty = 0;
    double emptyFloor = 0;
    double isql = 0;
    for (const Run& r : runs) {
        if (std::string(r.target) == "empty") {
            empty += r.run.seconds;
            emptyFloor += r.floor.seconds;
        }
    }
    for (const double s : isqlSeconds)
        isql += s;
    std::printf(
        "\nAll seven on the empty target: %.1f s (floor %.1f s); isql-fb applying the same DDL: %.1f s\n",
        empty, emptyFloor, isql);
    std::printf(
        "\nOne target reconnect (commit, cursors closed, same attachment) on the full target: %.1f ms "
        "as its only attachment, %.1f ms beside another attachment\n",
        reconnect.alone * 1000, reconnect.shared * 1000);
    std::printf("\nSource: %s\nTarget: %s\n", countsLine(source).c_str(), countsLine(target).c_str());
    printMemory(memory);
    std::printf("Load average at the end: %s\n", loadAverage().c_str());
    return runs;
}

int run(int argc, char** argv) {
    double scale = 1.0;
    double compare = 0;
    bool asyncWrites = false;
    int memoryRuns = 30;
    int processes = 7;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--async-writes") {
            asyncWrites = true;
        } else if (arg == "--scale" && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else if (arg == "--compare" && i + 1 < argc) {
            compare = std::atof(argv[++i]);
        } else if (arg == "--memory-runs" && i + 1 < argc) {
            memoryRuns = std::atoi(argv[++i]);
        } else if (arg == "--processes" && i + 1 < argc) {
            processes = std::atoi(argv[++i]);
        } else if (arg.rfind("--scale=", 0) == 0) {
            scale = std::atof(arg.c_str() + 8);
        } else {
            return usage(argv[0]);
        }
    }
    if (!(scale > 0) || compare < 0 || memoryRuns < 0 || processes < 1 || processes > 7)
        return usage(argv[0]);
    const std::vector<Run> first = runAtScale(scale, asyncWrites, memoryRuns, processes);
    if (compare > 0) {
        const std::vector<Run> second = runAtScale(compare, asyncWrites, memoryRuns, processes);
        printPerObject(scale, first, compare, second);
    }

    return 0;
}

} // namespace
} // namespace vistrel::bench

int main(int argc, char** argv) {
    try {
        return vistrel::bench::run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vistrel_bench: %s\n", e.what());
        return 1;
    }
}
