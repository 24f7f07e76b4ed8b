#include "app/cli/review.h"

#include <array>
#include <cstdio>

namespace vistrel::cli {

namespace {

constexpr std::array<const char*, 4> kTerminators = {"^", "!!", "#^#", "@@@@"};

std::string jsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + jsonString(items[i]);
    return out + "]";
}

bool sameObject(const sync::Difference& a, const sync::Difference& b) {
    return a.type == b.type && a.name == b.name;
}

} // namespace

std::string isqlScript(const std::vector<std::string>& statements) {
    const char* terminator = kTerminators.back();
    for (const char* candidate : kTerminators) {
        bool free = true;
        for (const std::string& statement : statements)
            if (statement.find(candidate) != std::string::npos)
                free = false;
        if (free) {
            terminator = candidate;
            break;
        }
    }
    std::string script = "/* vistrel-sync: as instruções que a execução enviaria ao destino, na ordem */\n";
    script += "SET AUTODDL ON;\n";
    script += std::string("SET TERM ") + terminator + " ;\n";
    for (const std::string& statement : statements) {
        // Line breaks as LF; blanks around the statement do not matter to the server.
        std::string text;
        for (size_t i = 0; i < statement.size(); ++i)
            if (statement[i] != '\r')
                text += statement[i];
        const size_t first = text.find_first_not_of(" \t\n");
        const size_t last = text.find_last_not_of(" \t\n");
        if (first == std::string::npos)
            continue;
        script += text.substr(first, last - first + 1) + "\n" + terminator + "\n";
    }
    script += std::string("COMMIT WORK ") + terminator + "\n";
    script += std::string("SET TERM ; ") + terminator + "\n";
    return script;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string jsonReport(const ReportHeader& header, const std::vector<sync::Difference>& records) {
    int create = 0, alter = 0, refused = 0, onlyInTarget = 0;
    std::string objects;
    for (const sync::Difference& r : records) {
        if (r.action == sync::DifferenceAction::Same)
            continue;
        create += r.action == sync::DifferenceAction::Create;
        alter += r.action == sync::DifferenceAction::Alter;
        refused += r.action == sync::DifferenceAction::Refused;
        onlyInTarget += r.action == sync::DifferenceAction::OnlyInTarget;
        objects += objects.empty() ? "\n    " : ",\n    ";
        objects += "{\"kind\": " + jsonString(sync::kindCode(r.type)) + ", \"name\": " + jsonString(r.name) +
                   ", \"relation\": " + (r.relation.empty() ? std::string("null") : jsonString(r.relation)) +
                   ", \"action\": " + jsonString(sync::actionCode(r.action)) +
                   ", \"differs\": " + jsonArray(r.differs) + ", \"statements\": " + jsonArray(r.statements) +
                   ", \"refusals\": " + jsonArray(r.refusals) +
                   ", \"outcome\": " + jsonString(r.outcome.empty() ? "not_run" : r.outcome) + "}";
    }
    std::string out =
        "{\n  \"source\": " + jsonString(header.source) + ",\n  \"target\": " + jsonString(header.target) +
        ",\n  \"mode\": " + jsonString(header.mode) + ",\n  \"alter\": " + (header.alter ? "true" : "false") +
        ",\n  \"summary\": {\"create\": " + std::to_string(create) + ", \"alter\": " + std::to_string(alter) +
        ", \"refused\": " + std::to_string(refused) +
        ", \"only_in_target\": " + std::to_string(onlyInTarget) + "},\n  \"objects\": [";
    out += objects;
    out += objects.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

void setOutcomes(std::vector<sync::Difference>& before, const std::vector<sync::Difference>& after) {
    for (sync::Difference& record : before) {
        if (record.action == sync::DifferenceAction::Same)
            continue;
        if (record.action == sync::DifferenceAction::OnlyInTarget) {
            record.outcome = "left_alone";
            continue;
        }
        record.outcome = "pending";
        for (const sync::Difference& now : after)
            if (sameObject(record, now)) {
                record.outcome = now.action == sync::DifferenceAction::Same ? "done" : "pending";
                break;
            }
    }
}

} // namespace vistrel::cli
