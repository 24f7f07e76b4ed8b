#include "sync/runframe.h"

#include "sync/guard.h"

#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/extracttext.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <string_view>

namespace vistrel::sync {

const char* const kClosingBanner = "-------------------------Fim-----------------------------------------";
const char* const kProcessConcluded = "Processo concluido!";
const char* const kProcessFinished = "Processo finalizado!";

void sameNameGuard(ProcessView& view) {
    if (!sameDatabaseFileName(view.xbanco(), view.xbanco2())) {
        view.showMessage(kSameNameGuardMessage);
        throw data::EAbort();
    }
}

bool sameDatabase(SyncComponents& components) {
    data::TIBDatabase& source = components.IBDatabase1();
    data::TIBDatabase& target = components.IBDatabase2();
    return source.Connected() && target.Connected() && source.databaseIdentity() == target.databaseIdentity();
}

bool reachesSameDatabase(data::TIBDatabase& session, data::TIBDatabase& other) {
    if (!session.Connected() || !other.Connected())
        return false;
    const std::string identity = session.databaseIdentity();
    try {
        return other.databaseIdentity() == identity;
    } catch (const std::exception&) {
        return false;
    }
}

void runGuards(SyncComponents& components, ProcessView& view) {
    sameNameGuard(view);
    for (data::TIBDatabase* session : {&components.IBDatabase1(), &components.IBDatabase2()})
        if (!session->Connected())
            session->setConnected(true);
    if (sameDatabase(components)) {
        view.showMessage(kSameDatabaseMessage);
        throw data::EAbort();
    }
    // The run sees the target as it is: what the direct-execution connection and other
    // attachments committed since its transaction began (a refused commit raises its error).
    components.IBDatabase2().endTransactions();
}

int targetDialect(SyncComponents& components) {
    return components.IBDatabase2().SQLDialect();
}

extract::TIBExtract& targetExtractor(SyncComponents& components) {
    extract::TIBExtract& extractor = components.IBExtract1();
    extractor.TargetDialect = targetDialect(components) == 1 ? 1 : 0;
    return extractor;
}

void openWith(data::TIBDataSet& cursor, const std::string& line) {
    cursor.SelectSQL().Clear();
    cursor.SelectSQL().Add(line);
    cursor.Open();
}

std::string literalName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::string removeText(const std::string& text, const std::string& what) {
    if (what.empty())
        return text;
    const std::string upperText = data::upperAscii(text);
    const std::string upperWhat = data::upperAscii(what);
    const auto lineBreak = [](char c) { return c == '\r' || c == '\n'; };
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = upperText.find(upperWhat); at != std::string::npos;
         at = upperText.find(upperWhat, at + 1)) {
        if (at < from)
            continue;
        const size_t end = at + what.size();
        const bool startsLine = at == 0 || lineBreak(text[at - 1]);
        const bool endsLine = end == text.size() || lineBreak(text[end]);
        if (!startsLine || !endsLine)
            continue;
        out.append(text, from, at - from);
        from = end;
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::string createOrAlter(const std::string& text) {
    static const std::string kCreate = "CREATE";
    size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, kCreate.size(), kCreate) == 0) {
            const size_t after = pos + kCreate.size();
            const bool wordEnds = after >= text.size() || text[after] == ' ' || text[after] == '\r' ||
                                  text[after] == '\n' || text[after] == '\t';
            if (wordEnds)
                return text.substr(0, pos) + "CREATE OR ALTER" + text.substr(after);
        }
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return text;
}

data::TIBDataSet& newStatementCursor(SyncComponents& components, const std::string& text) {
    data::TIBDataSet& cursor = components.newTargetCursor();
    cursor.ParamCheck = false;
    cursor.SelectSQL().Clear();
    cursor.SelectSQL().Add(text);
    return cursor;
}

std::vector<std::string> indexStatements(const std::string& text) {
    // The line the extractor adds after the CREATE INDEX statement of an inactive index.
    static const std::string kAlterIndexLine = "\nALTER INDEX ";
    const size_t cut = text.find(kAlterIndexLine);
    if (cut == std::string::npos)
        return {text};
    return {text.substr(0, cut + 1), text.substr(cut + 1)};
}

std::string targetCharacterSet(SyncComponents& components) {
    static const char* const kTargetCharacterSetQuery = "SELECT RDB$CHARACTER_SET_NAME FROM RDB$DATABASE";
    data::TIBDataSet cursor;
    cursor.setDatabase(&components.IBDatabase2());
    openWith(cursor, kTargetCharacterSetQuery);
    const std::string name = data::trim(cursor.FieldByName("RDB$CHARACTER_SET_NAME").AsString());
    return name.empty() ? "NONE" : name;
}

std::vector<size_t> dependencyOrder(const std::vector<std::string>& names,
                                    const std::multimap<std::string, std::string>& dependsOn) {
    std::map<std::string, size_t> indexOf;
    for (size_t i = 0; i < names.size(); ++i)
        indexOf.emplace(data::trim(names[i]), i);
    enum class Mark { None, Visiting, Done };
    std::vector<Mark> marks(names.size(), Mark::None);
    std::vector<size_t> order;
    order.reserve(names.size());
    // Depth first: the objects an object uses go out before it; one met again while its own
    // dependencies are being placed (a cycle) stays where it is.
    std::function<void(size_t)> place = [&](size_t i) {
        if (marks[i] != Mark::None)
            return;
        marks[i] = Mark::Visiting;
        const auto [from, to] = dependsOn.equal_range(data::trim(names[i]));
        for (auto it = from; it != to; ++it) {
            const auto used = indexOf.find(it->second);
            if (used != indexOf.end() && used->second != i)
                place(used->second);
        }
        marks[i] = Mark::Done;
        order.push_back(i);
    };
    for (size_t i = 0; i < names.size(); ++i)
        place(i);
    return order;
}

std::set<std::string> cycleMembers(const std::vector<std::string>& names,
                                   const std::multimap<std::string, std::string>& dependsOn) {
    std::set<std::string> known;
    for (const std::string& name : names)
        known.insert(data::trim(name));
    // An object is in a cycle when it reaches itself through another object it uses.
    std::set<std::string> members;
    for (const std::string& start : known) {
        std::set<std::string> seen;
        std::vector<std::string> pending;
        const auto push = [&](const std::string& from) {
            const auto [first, last] = dependsOn.equal_range(from);
            for (auto it = first; it != last; ++it)
                if (known.count(it->second) && it->second != from && seen.insert(it->second).second)
                    pending.push_back(it->second);
        };
        push(start);
        while (!pending.empty()) {
            const std::string next = pending.back();
            pending.pop_back();
            if (next == start) {
                members.insert(start);
                break;
            }
            push(next);
        }
    }
    return members;
}

std::multimap<std::string, std::string> sourceDependencies(data::TIBDatabase& source, int dependentType,
                                                           const std::string& dependedOnTypes) {
    data::TIBDataSet cursor;
    cursor.setDatabase(&source);
    openWith(cursor, "SELECT RDB$DEPENDENT_NAME, RDB$DEPENDED_ON_NAME FROM RDB$DEPENDENCIES WHERE "
                     "RDB$DEPENDENT_TYPE = " +
                         std::to_string(dependentType) + " AND RDB$DEPENDED_ON_TYPE IN (" + dependedOnTypes +
                         ")");
    std::multimap<std::string, std::string> dependsOn;
    for (; !cursor.Eof(); cursor.Next())
        dependsOn.emplace(data::trim(cursor.FieldByName("RDB$DEPENDENT_NAME").AsString()),
                          data::trim(cursor.FieldByName("RDB$DEPENDED_ON_NAME").AsString()));
    cursor.Close();
    return dependsOn;
}

} // namespace vistrel::sync
