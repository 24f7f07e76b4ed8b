// The floor runs the processes' own queries (the kinds' enumerations and probes, the procedure
// queries) exactly, so that its cost is the cost of their conversation with both servers.
#include "bench/floor.h"

#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/sqlconnection.h"
#include "data/strings.h"
#include "sync/objectkinds.h"
#include "sync/procedurequeries.h"
#include "sync/processes.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace vistrel::bench {

namespace {

using data::TIBDataSet;

std::string literal(const std::string& name) {
    std::string out;
    for (const char c : name) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::unique_ptr<TIBDataSet> cursorOn(data::TIBDatabase& database) {
    auto cursor = std::make_unique<TIBDataSet>();
    cursor->setDatabase(&database);
    return cursor;
}

void openWith(TIBDataSet& cursor, const std::string& line) {
    cursor.SelectSQL().Clear();
    cursor.SelectSQL().Add(line);
    cursor.Open();
}

void reconnect(sync::SyncComponents& components, DesignCount& count) {
    ++count.reconnects;
    components.targetReconnect();
}

// Processes 1, 2, 3, 6 and 7: the kind's own enumeration, one probe per row it does not leave
// alone, and for each missing object what the kind does on the target besides running its DDL.
// The queries, name forms and rules are read from the kind itself, so the floor cannot drift from
// the process.
DesignCount simpleWalk(const sync::ObjectKind& kind, sync::SyncComponents& components) {
    DesignCount count;
    auto source = cursorOn(components.IBDatabase1());
    auto probe = cursorOn(components.IBDatabase2());
    source->SelectSQL().Clear();
    for (const char* line : kind.enumeration)
        source->SelectSQL().Add(line);
    source->Open();
    while (!source->Eof()) {
        if (kind.leavesAlone && kind.leavesAlone(*source)) {
            source->Next();
            continue;
        }
        ++count.walked;
        const std::string read = source->FieldByName(kind.nameField).AsString();
        const std::string relation =
            kind.relationField ? source->FieldByName(kind.relationField).AsString() : std::string();
        std::string text = kind.probe.head + literal(sync::nameIn(kind.probe.name, read));
        if (kind.probe.withoutRelation && data::trim(relation).empty())
            text += kind.probe.withoutRelation;
        else if (kind.probe.middle)
            text += kind.probe.middle + literal(relation) + kind.probe.tail;
        else
            text += kind.probe.tail;
        openWith(*probe, text);
        if (probe->Eof()) {
            ++count.handled;
            if (kind.buildDdl)
                ++count.ddl;
            else
                count.extractions.push_back({kind.extractType, sync::nameIn(kind.extractName, read)});
            if (kind.reconnect != sync::Reconnect::Never)
                reconnect(components, count);
        }
        if (kind.pumpEvents)
            ++count.events;
        source->Next();
    }
    return count;
}

// Process 4: the relation list walked twice (count, then work), per relation a table probe and a
// view test, per table the column list and one column probe per column; a missing table costs a
// reconnect after its placeholder, and every column step of a table that gained something ends
// with a reconnect. Then the view phase: a view test per relation and a reconnect per view.
DesignCount tablesAndViews(sync::SyncComponents& components) {
    DesignCount count;
    auto META = cursorOn(components.IBDatabase1());
    META->SelectSQL().Clear();
    META->SelectSQL().Add("SELECT DISTINCT RDB$RELATION_NAME FROM RDB$RELATION_FIELDS WHERE ");
    META->SelectSQL().Add(
        "(SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'RDB$' AND SUBSTRING(RDB$FIELD_NAME FROM 1 "
        "FOR 4) <> 'MON$') AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'RDB$' AND "
        "SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'SEC$'");
    META->Open();
    while (!META->Eof())
        META->Next();
    META->First();

    auto columns = cursorOn(components.IBDatabase1());
    sync::setupORIGEM(*columns);
    const char* const viewTest = "SELECT RDB$VIEW_NAME FROM RDB$VIEW_RELATIONS WHERE RDB$VIEW_NAME=:TABELAW";
    while (!META->Eof()) {
        ++count.walked;
        const std::string name = META->FieldByName("RDB$RELATION_NAME").AsString();
        const std::string trimmed = data::trim(name);
        auto table = cursorOn(components.IBDatabase2());
        table->SelectSQL().Add(
            "SELECT DISTINCT RDB$RELATION_NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME=:TABELA");
        table->ParamByName("TABELA").setAsString(trimmed);
        table->Open();
        auto view = cursorOn(components.IBDatabase1());
        view->SelectSQL().Add(viewTest);
        view->ParamByName("TABELAW").setAsString(trimmed);
        view->Open();
        if (view->Eof()) {
            bool changed = false;
            if (table->Eof()) {
                ++count.handled;
                count.ddl += 2; // the placeholder table, the removal of its column
                count.extractions.push_back({extract::eoIndexes, trimmed});
                reconnect(components, count);
                changed = true;
            }
            columns->Close();
            columns->ParamByName("TABELA").setAsString(name);
            columns->Open();
            while (!columns->Eof()) {
                auto column = cursorOn(components.IBDatabase2());
                column->SelectSQL().Add(
                    "SELECT DISTINCT A.RDB$RELATION_NAME, A. RDB$FIELD_POSITION AS POSICAO, "
                    "B.RDB$FIELD_LENGTH AS "
                    "TAMANHO, A.RDB$FIELD_NAME FROM RDB$RELATION_FIELDS A, RDB$FIELDS B  WHERE "
                    "A.RDB$RELATION_NAME=:TABELA AND A.RDB$FIELD_NAME=:CAMPO AND (B.RDB$FIELD_NAME = "
                    "A.RDB$FIELD_SOURCE) ");
                column->ParamByName("TABELA").setAsString(columns->FieldByName("TABELA").AsString());
                column->ParamByName("CAMPO").setAsString(columns->FieldByName("NOME").AsString());
                column->Open();
                if (column->Eof()) {
                    ++count.handled;
                    ++count.ddl; // ADD
                    if (data::trim(columns->FieldByName("POSICAO").AsString()) != "0")
                        ++count.ddl; // POSITION
                    changed = true;
                }
                if (changed)
                    reconnect(components, count);
                columns->Next();
            }
        }
        ++count.events;
        META->Next();
    }

    auto view = cursorOn(components.IBDatabase1());
    META->First();
    while (!META->Eof()) {
        view->SelectSQL().Clear();
        view->SelectSQL().Add(viewTest);
        view->ParamByName("TABELAW").setAsString(
            data::trim(META->FieldByName("RDB$RELATION_NAME").AsString()));
        view->Open();
        if (!view->Eof()) {
            ++count.handled;
            count.extractions.push_back(
                {extract::eoView, data::trim(META->FieldByName("RDB$RELATION_NAME").AsString())});
            reconnect(components, count);
        }
        META->Next();
    }
    return count;
}

using sync::kParameterQueryHead;
using sync::kParameterQueryTail;

// Process 5: enumeration, one probe per procedure; a procedure to rebuild costs its parameter
// query, its source query and one transaction on the direct-execution connection.
DesignCount procedures(sync::SyncComponents& components) {
    DesignCount count;
    auto TABELAS = cursorOn(components.IBDatabase1());
    auto TABELAS2 = cursorOn(components.IBDatabase1());
    auto TABELAS3 = cursorOn(components.IBDatabase1());
    auto DESTINOTABELA = cursorOn(components.IBDatabase2());
    openWith(*TABELAS, "SELECT * FROM RDB$PROCEDURES ORDER BY RDB$PROCEDURE_ID DESC ");
    while (!TABELAS->Eof()) {
        ++count.walked;
        const std::string name = data::trim(TABELAS->FieldByName("RDB$PROCEDURE_NAME").AsString());
        openWith(*DESTINOTABELA,
                 "SELECT * FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME='" + literal(name) + "' ");
        const bool same = TABELAS->FieldByName("RDB$PROCEDURE_INPUTS").AsString() ==
                              DESTINOTABELA->FieldByName("RDB$PROCEDURE_INPUTS").AsString() &&
                          TABELAS->FieldByName("RDB$PROCEDURE_OUTPUTS").AsString() ==
                              DESTINOTABELA->FieldByName("RDB$PROCEDURE_OUTPUTS").AsString();
        if (DESTINOTABELA->Eof() || !same) {
            ++count.handled;
            ++count.ddl;
            openWith(*TABELAS2, kParameterQueryHead + literal(name) + kParameterQueryTail);
            while (!TABELAS2->Eof())
                TABELAS2->Next();
            openWith(
                *TABELAS3,
                "SELECT RDB$PROCEDURE_SOURCE AS CONTEUDO FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME='" +
                    literal(name) + "' ");
            TABELAS3->FieldByName("CONTEUDO").AsString();
            data::TTransactionDesc trans;
            trans.TransactionID = 1;
            trans.IsolationLevel = data::xilREADCOMMITTED;
            components.SQLConnection().StartTransaction(trans);
            components.SQLConnection().Commit(trans);
        }
        TABELAS->Next();
    }
    return count;
}

} // namespace

DesignCount runFloor(int process, sync::SyncComponents& components) {
    switch (process) {
    case 1:
        return simpleWalk(sync::kGeneratorKind, components);
    case 2:
        return simpleWalk(sync::kExceptionKind, components);
    case 3:
        return simpleWalk(sync::kDomainKind, components);
    case 4:
        return tablesAndViews(components);
    case 5:
        return procedures(components);
    case 6:
        return simpleWalk(sync::kTriggerKind, components);
    case 7:
        return simpleWalk(sync::kIndexKind, components);
    }
    throw std::invalid_argument("no process " + std::to_string(process));
}

} // namespace vistrel::bench
