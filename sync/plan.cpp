#include "sync/plan.h"

#include "data/errors.h"
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/extracttext.h"
#include "extract/fieldtype.h"
#include "sync/objectkinds.h"
#include "sync/processes.h"
#include "sync/runframe.h"
#include "sync/runstop.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace vistrel::sync {

namespace {

// ---- Texts of the records and of the alteration phase. ----

constexpr char kDiffers[] = " diferente; ";
constexpr char kOnlyInTarget[] = " existe só no destino; ";
constexpr char kMissing[] = " não encontrada no destino; ";
constexpr char kDiffersLeadIn[] = "    difere: ";
constexpr char kRefusedLeadIn[] = "    Alteração recusada: ";
constexpr char kAlterBanner[] = "-------------------------Inicio da Alteração--------------------------";
constexpr char kAlterFailed[] = "Não foi possivel alterar ";
constexpr char kDifferencesStart[] = "Iniciando Comparação de Diferenças";
constexpr char kDifferencesNone[] = "Destino em dia: nenhuma diferença.";

// ---- Small rules. ----

template <class Definition>
const Definition* findByName(const std::vector<Definition>& items, const std::string& name) {
    const auto found =
        std::find_if(items.begin(), items.end(), [&](const Definition& d) { return d.name == name; });
    return found == items.end() ? nullptr : &*found;
}

std::string yesNo(bool value) {
    return value ? "sim" : "não";
}

// "what: target -> source", values left out when either is long or spans lines.
std::string change(const std::string& what, const std::string& target, const std::string& source) {
    constexpr size_t kShort = 60;
    const auto shortText = [](const std::string& s) {
        return s.size() <= kShort && s.find('\n') == std::string::npos;
    };
    if (!shortText(target) || !shortText(source))
        return what;
    return what + ": " + (target.empty() ? "(nenhum)" : target) + " -> " +
           (source.empty() ? "(nenhum)" : source);
}

enum class TypeChange { Same, Widen, Narrow, OtherSet, OtherCollation, Other };

// How a field's type would change from the target's to the source's.
TypeChange typeChange(const FieldType& target, const FieldType& source) {
    using namespace extract::fieldtype;
    if (target.text == source.text && target.characterSet == source.characterSet)
        return target.collation == source.collation ? TypeChange::Same : TypeChange::OtherCollation;
    if (isTextType(target.typeCode) && isTextType(source.typeCode)) {
        if (target.characterSet != source.characterSet)
            return TypeChange::OtherSet;
        if (source.length < target.length)
            return TypeChange::Narrow;
        if (source.typeCode == target.typeCode || source.typeCode == kVarchar)
            return TypeChange::Widen;
        return TypeChange::Other;
    }
    if (isExactNumericType(target.typeCode) && isExactNumericType(source.typeCode)) {
        if (source.scale != target.scale)
            return TypeChange::Other;
        return source.precision >= target.precision ? TypeChange::Widen : TypeChange::Narrow;
    }
    if (target.typeCode == kFloat && source.typeCode == kDouble)
        return TypeChange::Widen;
    if (target.typeCode == kDouble && source.typeCode == kFloat)
        return TypeChange::Narrow;
    return TypeChange::Other;
}

std::string typeText(const FieldType& type) {
    return type.characterSet.empty() ? type.text : type.text + " CHARACTER SET " + type.characterSet;
}

// A type change in words: the character set named only where the two sides' sets differ.
std::string typeChangeWords(const std::string& what, const FieldType& target, const FieldType& source) {
    if (target.characterSet == source.characterSet)
        return change(what, target.text, source.text);
    return change(what, typeText(target), typeText(source));
}

// Why a type change is not made; empty when it is made.
std::string typeRefusal(TypeChange how, const FieldType& target, const FieldType& source) {
    switch (how) {
    case TypeChange::Same:
    case TypeChange::Widen:
        return "";
    case TypeChange::Narrow:
        return "tipo mais estreito (" + typeText(target) + " -> " + typeText(source) + ") perderia dados";
    case TypeChange::OtherSet:
        return "outro conjunto de caracteres (" + target.characterSet + " -> " + source.characterSet + ")";
    case TypeChange::OtherCollation:
        return "outra collation (" + target.collation + " -> " + source.collation + ")";
    case TypeChange::Other:
        return "tipo de outra família (" + typeText(target) + " -> " + typeText(source) + ")";
    }
    return "";
}

// The value part of a default source: "DEFAULT 0" -> "0".
std::string defaultValue(const std::string& defaultSource) {
    static const std::string kDefault = "DEFAULT";
    std::string value = data::trim(defaultSource);
    if (data::equalsIgnoreCase(value.substr(0, kDefault.size()), kDefault))
        value = data::trimLeft(value.substr(kDefault.size()));
    return value;
}

// The check's condition with VALUE, the word, replaced by the column (outside string literals).
std::string conditionOnColumn(const std::string& checkSource, const std::string& column) {
    static const std::string kCheck = "CHECK";
    std::string condition = data::trim(checkSource);
    if (data::equalsIgnoreCase(condition.substr(0, kCheck.size()), kCheck))
        condition = condition.substr(kCheck.size());
    std::string out;
    bool inString = false;
    const auto isWordChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '$';
    };
    for (size_t i = 0; i < condition.size(); ++i) {
        const char c = condition[i];
        if (c == '\'')
            inString = !inString;
        if (!inString && i + 5 <= condition.size() &&
            data::equalsIgnoreCase(condition.substr(i, 5), "VALUE") &&
            (i == 0 || !isWordChar(condition[i - 1])) &&
            (i + 5 == condition.size() || !isWordChar(condition[i + 5]))) {
            out += column;
            i += 4;
            continue;
        }
        out += c;
    }
    return out;
}

// ---- The comparison, kind by kind. ----

class Planner {
public:
    Planner(SyncComponents& components, const SchemaDefinitions& source, const SchemaDefinitions& target)
        : m_components(components), m_source(source), m_target(target), m_dialect(targetDialect(components)) {
    }

    std::vector<Difference> run(const KindSelection& kinds) {
        if (kinds.generators)
            generators();
        if (kinds.exceptions)
            exceptions();
        if (kinds.domains)
            domains();
        if (kinds.tables)
            tables();
        if (kinds.views)
            views();
        if (kinds.procedures)
            procedures();
        if (kinds.triggers)
            triggers();
        if (kinds.indexes)
            indexes();
        if (kinds.constraints)
            constraints();
        return std::move(m_records);
    }

private:
    std::string q(const std::string& name) const { return sqlIdentifier(m_dialect, name); }

    int64_t targetCount(const std::string& query) {
        data::TIBDataSet rows;
        rows.setDatabase(&m_components.IBDatabase2());
        rows.ParamCheck = false;
        rows.SelectSQL().Add(query);
        rows.Open();
        const int64_t count = rows.Eof() ? 0 : catalogueNumber(rows.Fields(0)).value_or(0);
        rows.Close();
        return count;
    }

    Difference& add(ObjectType type, const std::string& name, const std::string& relation,
                    DifferenceAction action) {
        m_records.push_back({.type = type, .name = name, .relation = relation, .action = action});
        return m_records.back();
    }

    // Settles an Alter record: refused when nothing of it can be made, the same when nothing differs.
    static void settle(Difference& record) {
        if (record.differs.empty() && record.refusals.empty())
            record.action = DifferenceAction::Same;
        else if (record.statements.empty() && !record.refusals.empty())
            record.action = DifferenceAction::Refused;
    }

    template <class Definition>
    void onlyInTarget(ObjectType type, const std::vector<Definition>& source,
                      const std::vector<Definition>& target,
                      const std::function<std::string(const Definition&)>& relation) {
        for (const Definition& t : target)
            if (!findByName(source, t.name))
                add(type, t.name, relation(t), DifferenceAction::OnlyInTarget);
    }

    void generators() {
        for (const GeneratorDefinition& s : m_source.generators) {
            const GeneratorDefinition* t = findByName(m_target.generators, s.name);
            if (!t) {
                add(ObjectType::Generator, s.name, "", DifferenceAction::Create);
                continue;
            }
            Difference& r = add(ObjectType::Generator, s.name, "", DifferenceAction::Alter);
            if (t->increment != s.increment) {
                r.differs.push_back(
                    change("incremento", std::to_string(t->increment), std::to_string(s.increment)));
                // The current value is never touched, so it is never lowered.
                r.statements.push_back("ALTER SEQUENCE " + q(s.name) + " INCREMENT BY " +
                                       std::to_string(s.increment));
            }
            settle(r);
        }
        onlyInTarget<GeneratorDefinition>(ObjectType::Generator, m_source.generators, m_target.generators,
                                          [](const GeneratorDefinition&) { return std::string(); });
    }

    void exceptions() {
        for (const ExceptionDefinition& s : m_source.exceptions) {
            const ExceptionDefinition* t = findByName(m_target.exceptions, s.name);
            if (!t) {
                add(ObjectType::Exception, s.name, "", DifferenceAction::Create);
                continue;
            }
            Difference& r = add(ObjectType::Exception, s.name, "", DifferenceAction::Alter);
            if (t->message != s.message) {
                r.differs.push_back(change("mensagem", t->message, s.message));
                r.statements.push_back("CREATE OR ALTER EXCEPTION " + q(s.name) + " " +
                                       extract::quoteString(s.message));
            }
            settle(r);
        }
        onlyInTarget<ExceptionDefinition>(ObjectType::Exception, m_source.exceptions, m_target.exceptions,
                                          [](const ExceptionDefinition&) { return std::string(); });
    }

    // The target's columns declared with a domain, as "table"."column" pairs.
    std::vector<std::pair<std::string, std::string>> domainColumns(const std::string& domain) const {
        std::vector<std::pair<std::string, std::string>> columns;
        for (const TableDefinition& table : m_target.tables)
            for (const ColumnDefinition& column : table.columns)
                if (column.domain == domain)
                    columns.emplace_back(table.name, column.name);
        return columns;
    }

    void domains() {
        for (const DomainDefinition& s : m_source.domains) {
            const DomainDefinition* t = findByName(m_target.domains, s.name);
            if (!t) {
                add(ObjectType::Domain, s.name, "", DifferenceAction::Create);
                continue;
            }
            Difference& r = add(ObjectType::Domain, s.name, "", DifferenceAction::Alter);
            const std::string alter = "ALTER DOMAIN " + q(s.name);
            const TypeChange how = typeChange(t->type, s.type);
            if (how != TypeChange::Same) {
                r.differs.push_back(typeChangeWords("tipo", t->type, s.type));
                const std::string refusal = typeRefusal(how, t->type, s.type);
                if (refusal.empty())
                    r.statements.push_back(alter + " TYPE " + typeText(s.type));
                else
                    r.refusals.push_back(refusal);
            }
            if (t->defaultSource != s.defaultSource) {
                r.differs.push_back(change("default", t->defaultSource, s.defaultSource));
                r.statements.push_back(s.defaultSource.empty()
                                           ? alter + " DROP DEFAULT"
                                           : alter + " SET DEFAULT " + defaultValue(s.defaultSource));
            }
            if (t->checkSource != s.checkSource) {
                r.differs.push_back(change("check", t->checkSource, s.checkSource));
                int64_t broken = 0;
                if (!s.checkSource.empty())
                    for (const auto& [table, column] : domainColumns(s.name))
                        broken += targetCount("SELECT COUNT(*) FROM " + q(table) + " WHERE NOT " +
                                              conditionOnColumn(s.checkSource, q(column)));
                if (broken > 0) {
                    r.refusals.push_back("o novo check recusaria " + std::to_string(broken) +
                                         " linha(s) que o destino já tem");
                } else {
                    if (!t->checkSource.empty())
                        r.statements.push_back(alter + " DROP CONSTRAINT");
                    if (!s.checkSource.empty())
                        r.statements.push_back(alter + " ADD " + s.checkSource);
                }
            }
            if (t->notNull != s.notNull) {
                r.differs.push_back(change("NOT NULL", yesNo(t->notNull), yesNo(s.notNull)));
                int64_t nulls = 0;
                if (s.notNull)
                    for (const auto& [table, column] : domainColumns(s.name))
                        nulls += targetCount("SELECT COUNT(*) FROM " + q(table) + " WHERE " + q(column) +
                                             " IS NULL");
                if (nulls > 0)
                    r.refusals.push_back("NOT NULL sobre " + std::to_string(nulls) + " linha(s) com NULL");
                else
                    r.statements.push_back(alter + (s.notNull ? " SET NOT NULL" : " DROP NOT NULL"));
            }
            if (t->computedSource != s.computedSource) {
                r.differs.push_back(change("expressão calculada", t->computedSource, s.computedSource));
                r.refusals.push_back("a expressão de um domain calculado não é alterada");
            }
            settle(r);
        }
        onlyInTarget<DomainDefinition>(ObjectType::Domain, m_source.domains, m_target.domains,
                                       [](const DomainDefinition&) { return std::string(); });
    }

    void column(const TableDefinition& table, const ColumnDefinition& s, const ColumnDefinition& t,
                std::optional<int> rank) {
        Difference& r =
            add(ObjectType::Column, table.name + "." + s.name, table.name, DifferenceAction::Alter);
        const std::string alter = "ALTER TABLE " + q(table.name) + " ALTER " + q(s.name);
        const bool computed = !s.computedSource.empty() || !t.computedSource.empty();
        if (computed) {
            if (s.computedSource != t.computedSource) {
                r.differs.push_back(change("expressão calculada", t.computedSource, s.computedSource));
                if (s.computedSource.empty() || t.computedSource.empty())
                    r.refusals.push_back("coluna calculada de um lado e armazenada do outro");
                else
                    r.statements.push_back(alter + " COMPUTED BY " + s.computedSource);
            }
        } else if (s.domain != t.domain) {
            r.differs.push_back(change("domain", t.domain, s.domain));
            const TypeChange how = typeChange(t.type, s.type);
            const std::string refusal = typeRefusal(how, t.type, s.type);
            if (!refusal.empty())
                r.refusals.push_back(refusal);
            else
                r.statements.push_back(alter + " TYPE " +
                                       (s.domain.empty() ? typeText(s.type) : q(s.domain)));
        } else if (s.domain.empty()) {
            const TypeChange how = typeChange(t.type, s.type);
            if (how != TypeChange::Same) {
                r.differs.push_back(typeChangeWords("tipo", t.type, s.type));
                const std::string refusal = typeRefusal(how, t.type, s.type);
                if (refusal.empty())
                    r.statements.push_back(alter + " TYPE " + typeText(s.type));
                else
                    r.refusals.push_back(refusal);
            }
        }
        if (!computed && s.defaultSource != t.defaultSource) {
            r.differs.push_back(change("default", t.defaultSource, s.defaultSource));
            r.statements.push_back(s.defaultSource.empty()
                                       ? alter + " DROP DEFAULT"
                                       : alter + " SET DEFAULT " + defaultValue(s.defaultSource));
        }
        if (!computed && s.notNull != t.notNull) {
            r.differs.push_back(change("NOT NULL", yesNo(t.notNull), yesNo(s.notNull)));
            const int64_t nulls = s.notNull ? targetCount("SELECT COUNT(*) FROM " + q(table.name) +
                                                          " WHERE " + q(s.name) + " IS NULL")
                                            : 0;
            if (nulls > 0)
                r.refusals.push_back("NOT NULL sobre " + std::to_string(nulls) + " linha(s) com NULL");
            else
                r.statements.push_back(alter + (s.notNull ? " SET NOT NULL" : " DROP NOT NULL"));
        }
        if (s.identity != t.identity) {
            r.differs.push_back(change("identity", yesNo(t.identity), yesNo(s.identity)));
            r.refusals.push_back("uma coluna identity não é criada nem desfeita sobre dados");
        }
        if (rank) {
            r.differs.push_back("posição: " + std::to_string(*rank));
            r.statements.push_back(alter + " POSITION " + std::to_string(*rank));
        }
        settle(r);
    }

    void tables() {
        for (const TableDefinition& s : m_source.tables) {
            const TableDefinition* t = findByName(m_target.tables, s.name);
            if (!t) {
                add(ObjectType::Table, s.name, "", DifferenceAction::Create);
                continue;
            }
            // The order of the columns both sides hold; when it differs, each such column goes to its
            // rank among them, so the target's own columns end up after them.
            std::vector<std::string> sourceOrder;
            std::vector<std::string> targetOrder;
            for (const ColumnDefinition& c : s.columns)
                if (findByName(t->columns, c.name))
                    sourceOrder.push_back(c.name);
            for (const ColumnDefinition& c : t->columns)
                if (findByName(s.columns, c.name))
                    targetOrder.push_back(c.name);
            const bool reorder = sourceOrder != targetOrder;
            for (const ColumnDefinition& c : s.columns) {
                const ColumnDefinition* tc = findByName(t->columns, c.name);
                if (!tc) {
                    add(ObjectType::Column, s.name + "." + c.name, s.name, DifferenceAction::Create);
                    continue;
                }
                std::optional<int> rank;
                if (reorder) {
                    const auto sourceAt =
                        std::find(sourceOrder.begin(), sourceOrder.end(), c.name) - sourceOrder.begin();
                    const auto targetAt =
                        std::find(targetOrder.begin(), targetOrder.end(), c.name) - targetOrder.begin();
                    if (sourceAt != targetAt)
                        rank = static_cast<int>(sourceAt) + 1;
                }
                column(s, c, *tc, rank);
            }
            for (const ColumnDefinition& c : t->columns)
                if (!findByName(s.columns, c.name))
                    add(ObjectType::Column, s.name + "." + c.name, s.name, DifferenceAction::OnlyInTarget);
        }
        onlyInTarget<TableDefinition>(ObjectType::Table, m_source.tables, m_target.tables,
                                      [](const TableDefinition&) { return std::string(); });
    }

    void views() {
        for (const ViewDefinition& s : m_source.views) {
            const ViewDefinition* t = findByName(m_target.views, s.name);
            if (!t) {
                add(ObjectType::View, s.name, "", DifferenceAction::Create);
                continue;
            }
            // Process 4 sends every view as CREATE OR ALTER VIEW: its walk brings a changed one in line.
            Difference& r = add(ObjectType::View, s.name, "", DifferenceAction::Alter);
            if (t->source != s.source)
                r.differs.push_back("definição");
            settle(r);
        }
        onlyInTarget<ViewDefinition>(ObjectType::View, m_source.views, m_target.views,
                                     [](const ViewDefinition&) { return std::string(); });
    }

    void procedures() {
        for (const ProcedureDefinition& s : m_source.procedures) {
            const ProcedureDefinition* t = findByName(m_target.procedures, s.name);
            if (!t) {
                add(ObjectType::Procedure, s.name, "", DifferenceAction::Create);
                continue;
            }
            Difference& r = add(ObjectType::Procedure, s.name, "", DifferenceAction::Alter);
            if (t->parameters != s.parameters)
                r.differs.push_back("parâmetros");
            if (t->source != s.source)
                r.differs.push_back("corpo");
            if (!r.differs.empty())
                r.statements.push_back(procedureStatement(m_components, s.name));
            settle(r);
        }
        onlyInTarget<ProcedureDefinition>(ObjectType::Procedure, m_source.procedures, m_target.procedures,
                                          [](const ProcedureDefinition&) { return std::string(); });
    }

    void triggers() {
        for (const TriggerDefinition& s : m_source.triggers) {
            const TriggerDefinition* t = findByName(m_target.triggers, s.name);
            if (!t) {
                add(ObjectType::Trigger, s.name, s.relation, DifferenceAction::Create);
                continue;
            }
            Difference& r = add(ObjectType::Trigger, s.name, s.relation, DifferenceAction::Alter);
            if (t->relation != s.relation)
                r.differs.push_back(change("tabela", t->relation, s.relation));
            if (t->type != s.type)
                r.differs.push_back("eventos");
            if (t->sequence != s.sequence)
                r.differs.push_back(
                    change("posição", std::to_string(t->sequence), std::to_string(s.sequence)));
            if (t->inactive != s.inactive)
                r.differs.push_back(change("ativa", yesNo(!t->inactive), yesNo(!s.inactive)));
            if (t->source != s.source)
                r.differs.push_back("corpo");
            if (!r.differs.empty()) {
                // A trigger moves to another table only through a new trigger.
                if (t->relation != s.relation)
                    r.statements.push_back("DROP TRIGGER " + q(s.name));
                r.statements.push_back(extractedText(m_components, kTriggerKind, s.name));
            }
            settle(r);
        }
        onlyInTarget<TriggerDefinition>(ObjectType::Trigger, m_source.triggers, m_target.triggers,
                                        [](const TriggerDefinition& t) { return t.relation; });
    }

    std::string columnsOf(const std::vector<std::string>& columns) const {
        std::string out;
        for (const std::string& c : columns)
            out += (out.empty() ? "" : ", ") + q(c);
        return out;
    }

    // Rows whose values in these columns stand more than once (they would break a unique key).
    int64_t duplicateRows(const std::string& table, const std::vector<std::string>& columns) {
        const std::string list = columnsOf(columns);
        std::string notNull;
        for (const std::string& c : columns)
            notNull += (notNull.empty() ? " WHERE " : " AND ") + q(c) + " IS NOT NULL";
        return targetCount("SELECT COALESCE(SUM(N), 0) FROM (SELECT COUNT(*) AS N FROM " + q(table) +
                           notNull + " GROUP BY " + list + " HAVING COUNT(*) > 1)");
    }

    void indexes() {
        for (const IndexDefinition& s : m_source.indexes) {
            const IndexDefinition* t = findByName(m_target.indexes, s.name);
            if (!t) {
                add(ObjectType::Index, s.name, s.relation, DifferenceAction::Create);
                continue;
            }
            Difference& r = add(ObjectType::Index, s.name, s.relation, DifferenceAction::Alter);
            if (t->relation != s.relation)
                r.differs.push_back(change("tabela", t->relation, s.relation));
            if (t->segments != s.segments)
                r.differs.push_back(change("colunas", columnsOf(t->segments), columnsOf(s.segments)));
            if (t->unique != s.unique)
                r.differs.push_back(change("único", yesNo(t->unique), yesNo(s.unique)));
            if (t->descending != s.descending)
                r.differs.push_back(change("descendente", yesNo(t->descending), yesNo(s.descending)));
            if (t->inactive != s.inactive)
                r.differs.push_back(change("ativo", yesNo(!t->inactive), yesNo(!s.inactive)));
            if (t->expression != s.expression)
                r.differs.push_back(change("expressão", t->expression, s.expression));
            if (!r.differs.empty()) {
                const int64_t duplicates =
                    s.unique && s.expression.empty() ? duplicateRows(s.relation, s.segments) : 0;
                if (duplicates > 0) {
                    r.refusals.push_back("o índice único recusaria " + std::to_string(duplicates) +
                                         " linha(s) repetidas que o destino já tem");
                } else {
                    // Rebuilt: dropped and made again in one transaction.
                    r.statements.push_back("DROP INDEX " + q(s.name));
                    const std::string text = extractedText(m_components, kIndexKind, s.name);
                    for (const std::string& statement : indexStatements(text))
                        r.statements.push_back(statement);
                }
            }
            settle(r);
        }
        onlyInTarget<IndexDefinition>(ObjectType::Index, m_source.indexes, m_target.indexes,
                                      [](const IndexDefinition& t) { return t.relation; });
    }

    static bool sameConstraint(const ConstraintDefinition& a, const ConstraintDefinition& b) {
        return a.type == b.type && a.table == b.table && a.columns == b.columns &&
               a.referencedTable == b.referencedTable && a.referencedColumns == b.referencedColumns &&
               a.updateRule == b.updateRule && a.deleteRule == b.deleteRule && a.checkSource == b.checkSource;
    }

    // The target's constraint that stands for a source one: by name for a named one, by what it
    // constrains for one the server named.
    const ConstraintDefinition* targetConstraint(const ConstraintDefinition& s) const {
        for (const ConstraintDefinition& t : m_target.constraints) {
            if (isServerConstraintName(s.name) ? (isServerConstraintName(t.name) && sameConstraint(s, t))
                                               : (t.name == s.name && t.table == s.table))
                return &t;
        }
        return nullptr;
    }

    std::string constraintDrop(const ConstraintDefinition& c) const {
        return "ALTER TABLE " + q(c.table) + " DROP CONSTRAINT " + q(c.name);
    }

    void constraints() {
        std::set<const ConstraintDefinition*> matched;
        for (const ConstraintDefinition& s : m_source.constraints) {
            const ConstraintDefinition* t = targetConstraint(s);
            const std::string name = s.name;
            if (!t) {
                add(ObjectType::Constraint, name, s.table, DifferenceAction::Create);
                continue;
            }
            matched.insert(t);
            Difference& r = add(ObjectType::Constraint, name, s.table, DifferenceAction::Alter);
            if (t->type != s.type)
                r.differs.push_back(change("tipo", constraintTypeText(t->type), constraintTypeText(s.type)));
            if (t->columns != s.columns)
                r.differs.push_back(change("colunas", columnsOf(t->columns), columnsOf(s.columns)));
            if (t->referencedTable != s.referencedTable || t->referencedColumns != s.referencedColumns)
                r.differs.push_back(change("referência",
                                           t->referencedTable + " (" + columnsOf(t->referencedColumns) + ")",
                                           s.referencedTable + " (" + columnsOf(s.referencedColumns) + ")"));
            if (t->updateRule != s.updateRule || t->deleteRule != s.deleteRule)
                r.differs.push_back("ações");
            if (t->checkSource != s.checkSource)
                r.differs.push_back(change("check", t->checkSource, s.checkSource));
            if (!r.differs.empty())
                rebuildConstraint(r, s, *t);
            settle(r);
        }
        for (const ConstraintDefinition& t : m_target.constraints)
            if (!matched.count(&t))
                add(ObjectType::Constraint, t.name, t.table, DifferenceAction::OnlyInTarget);
    }

    // A constraint rebuilt: the target's foreign keys that reference a key being rebuilt go first and
    // come back last, all in the one transaction. Rows that the new rule would refuse stop it.
    void rebuildConstraint(Difference& r, const ConstraintDefinition& s, const ConstraintDefinition& t) {
        int64_t refused = 0;
        if (s.type == ConstraintType::Check) {
            // The rows the check's condition refuses, counted rather than probed.
            const std::string query = checkViolationQuery(s, m_dialect);
            refused = targetCount("SELECT COUNT(*)" + query.substr(query.find(" FROM ")));
        } else if (s.type == ConstraintType::PrimaryKey || s.type == ConstraintType::Unique) {
            refused = duplicateRows(s.table, s.columns);
        } else if (s.type == ConstraintType::ForeignKey) {
            std::string matches;
            std::string notNull;
            for (size_t i = 0; i < s.columns.size() && i < s.referencedColumns.size(); ++i) {
                matches += (matches.empty() ? "" : " AND ") + std::string("R.") + q(s.referencedColumns[i]) +
                           " = T." + q(s.columns[i]);
                notNull += " AND T." + q(s.columns[i]) + " IS NOT NULL";
            }
            refused = targetCount("SELECT COUNT(*) FROM " + q(s.table) + " T WHERE 1 = 1" + notNull +
                                  " AND NOT EXISTS (SELECT 1 FROM " + q(s.referencedTable) + " R WHERE " +
                                  matches + ")");
        }
        if (refused > 0) {
            r.refusals.push_back("a nova regra recusaria " + std::to_string(refused) +
                                 " linha(s) que o destino já tem");
            return;
        }
        std::vector<const ConstraintDefinition*> referencing;
        if (t.type == ConstraintType::PrimaryKey || t.type == ConstraintType::Unique)
            for (const ConstraintDefinition& fk : m_target.constraints)
                if (fk.type == ConstraintType::ForeignKey && fk.referencedTable == t.table &&
                    fk.referencedColumns == t.columns)
                    referencing.push_back(&fk);
        for (const ConstraintDefinition* fk : referencing)
            r.statements.push_back(constraintDrop(*fk));
        r.statements.push_back(constraintDrop(t));
        r.statements.push_back(constraintDdl(s, m_dialect));
        // Each comes back as the source declares it where the source has it (it may reference the
        // key's new columns), else as the target had it.
        for (const ConstraintDefinition* fk : referencing) {
            const ConstraintDefinition* declared = nullptr;
            for (const ConstraintDefinition& c : m_source.constraints)
                if (c.name == fk->name && c.table == fk->table && !isServerConstraintName(c.name))
                    declared = &c;
            r.statements.push_back(constraintDdl(declared ? *declared : *fk, m_dialect));
        }
    }

    SyncComponents& m_components;
    const SchemaDefinitions& m_source;
    const SchemaDefinitions& m_target;
    int m_dialect;
    std::vector<Difference> m_records;
};

// The statements of one record on a statement cursor of the target, as one transaction: committed
// when all pass, rolled back when one fails (the object stays as it was) and the error raised.
// Returns whether any statement was sent (a view that writes a script keeps them all).
bool executeAsOne(SyncComponents& components, ProcessView& view, const std::vector<std::string>& statements) {
    data::TIBTransaction& transaction = components.IBTransaction2();
    try {
        bool sent = false;
        for (const std::string& statement : statements) {
            if (!view.sendStatement(statement))
                continue;
            data::TIBDataSet& cursor = newStatementCursor(components, statement);
            cursor.ExecSQL();
            sent = true;
        }
        if (sent && transaction.Active())
            transaction.Commit();
        return sent;
    } catch (const data::EIBConnectionLost&) {
        throw;
    } catch (...) {
        if (transaction.Active()) {
            try {
                transaction.Rollback();
            } catch (const data::EIBConnectionLost&) {
                throw;
            } catch (const std::exception&) {
                // The first error is the one to report.
            }
        }
        throw;
    }
}

// The object as the failure line names it: "o generator", "a exception", ...
const char* failureName(ObjectType type) {
    switch (type) {
    case ObjectType::Generator:
        return "o generator";
    case ObjectType::Exception:
        return "a exception";
    case ObjectType::Domain:
        return "o domain";
    case ObjectType::Table:
        return "a tabela";
    case ObjectType::Column:
        return "a coluna";
    case ObjectType::View:
        return "a view";
    case ObjectType::Procedure:
        return "a procedure";
    case ObjectType::Trigger:
        return "a trigger";
    case ObjectType::Index:
        return "o índice";
    case ObjectType::Constraint:
        return "a constraint";
    }
    return "";
}

} // namespace

std::vector<ObjectType> processObjectTypes(int processNumber) {
    switch (processNumber) {
    case 1:
        return {ObjectType::Generator};
    case 2:
        return {ObjectType::Exception};
    case 3:
        return {ObjectType::Domain};
    case 4:
        return {ObjectType::Table, ObjectType::Column, ObjectType::View};
    case 5:
        return {ObjectType::Procedure};
    case 6:
        return {ObjectType::Trigger};
    case 7:
        return {ObjectType::Index};
    case 8:
        return {ObjectType::Constraint};
    default:
        return {};
    }
}

KindSelection processKinds(int processNumber) {
    KindSelection kinds;
    for (const ObjectType type : processObjectTypes(processNumber)) {
        kinds.generators |= type == ObjectType::Generator;
        kinds.exceptions |= type == ObjectType::Exception;
        kinds.domains |= type == ObjectType::Domain;
        kinds.tables |= type == ObjectType::Table || type == ObjectType::Column;
        kinds.views |= type == ObjectType::View;
        kinds.procedures |= type == ObjectType::Procedure;
        kinds.triggers |= type == ObjectType::Trigger;
        kinds.indexes |= type == ObjectType::Index;
        kinds.constraints |= type == ObjectType::Constraint;
    }
    return kinds;
}

std::vector<Difference> planDifferences(SyncComponents& components, const KindSelection& kinds) {
    KindSelection read = kinds;
    // A domain's data checks and a constraint's look at the target's columns.
    if (kinds.domains)
        read.tables = true;
    const SchemaDefinitions source = readDefinitions(components.IBDatabase1(), read);
    const SchemaDefinitions target = readDefinitions(components.IBDatabase2(), read);
    return Planner(components, source, target).run(kinds);
}

const char* kindNoun(ObjectType type) {
    switch (type) {
    case ObjectType::Generator:
        return "Generator";
    case ObjectType::Exception:
        return "Exception";
    case ObjectType::Domain:
        return "Domain";
    case ObjectType::Table:
        return "Tabela";
    case ObjectType::Column:
        return "Coluna";
    case ObjectType::View:
        return "View";
    case ObjectType::Procedure:
        return "Procedure";
    case ObjectType::Trigger:
        return "Trigger";
    case ObjectType::Index:
        return "Index";
    case ObjectType::Constraint:
        return "Constraint";
    }
    return "";
}

const char* kindCode(ObjectType type) {
    switch (type) {
    case ObjectType::Generator:
        return "generator";
    case ObjectType::Exception:
        return "exception";
    case ObjectType::Domain:
        return "domain";
    case ObjectType::Table:
        return "table";
    case ObjectType::Column:
        return "column";
    case ObjectType::View:
        return "view";
    case ObjectType::Procedure:
        return "procedure";
    case ObjectType::Trigger:
        return "trigger";
    case ObjectType::Index:
        return "index";
    case ObjectType::Constraint:
        return "constraint";
    }
    return "";
}

const char* actionWord(DifferenceAction action) {
    switch (action) {
    case DifferenceAction::Create:
        return "criar";
    case DifferenceAction::Alter:
        return "alterar";
    case DifferenceAction::Same:
        return "igual";
    case DifferenceAction::OnlyInTarget:
        return "existe só no destino";
    case DifferenceAction::Refused:
        return "recusado";
    }
    return "";
}

const char* actionCode(DifferenceAction action) {
    switch (action) {
    case DifferenceAction::Create:
        return "create";
    case DifferenceAction::Alter:
        return "alter";
    case DifferenceAction::Same:
        return "same";
    case DifferenceAction::OnlyInTarget:
        return "only_in_target";
    case DifferenceAction::Refused:
        return "refused";
    }
    return "";
}

std::string differenceLine(const Difference& record) {
    std::string line = kindNoun(record.type);
    switch (record.action) {
    case DifferenceAction::Create:
        line += kMissing;
        break;
    case DifferenceAction::OnlyInTarget:
        line += kOnlyInTarget;
        break;
    default:
        line += kDiffers;
        break;
    }
    line += record.name;
    std::string what;
    for (const std::string& d : record.differs)
        what += (what.empty() ? "" : "; ") + d;
    if (!what.empty())
        line += " (" + what + ")";
    return line;
}

void writeDifferences(ProcessView& view, const std::vector<Difference>& records) {
    view.appendProcessLog(kDifferencesStart);
    int create = 0, alter = 0, refused = 0, onlyTarget = 0;
    for (const Difference& record : records) {
        if (record.action == DifferenceAction::Same)
            continue;
        view.appendProcessLog(differenceLine(record));
        for (const std::string& refusal : record.refusals)
            view.appendProcessLog(kRefusedLeadIn + refusal);
        create += record.action == DifferenceAction::Create;
        alter += record.action == DifferenceAction::Alter;
        refused += record.action == DifferenceAction::Refused;
        onlyTarget += record.action == DifferenceAction::OnlyInTarget;
    }
    if (create + alter + refused == 0)
        view.appendProcessLog(kDifferencesNone);
    view.appendProcessLog("Diferenças: " + std::to_string(create) + " a criar, " + std::to_string(alter) +
                          " a alterar, " + std::to_string(refused) + " recusada(s), " +
                          std::to_string(onlyTarget) + " só no destino.");
}

void runDifferences(SyncComponents& components, ProcessView& view) {
    runGuards(components, view);
    view.clearProcessLog();
    const std::vector<Difference> records = planDifferences(components, KindSelection::all());
    data::TIBTransaction& transaction = components.IBTransaction2();
    if (transaction.Active())
        transaction.Commit();
    writeDifferences(view, records);
}

void runAlterPhase(SyncComponents& components, ProcessView& view, int processNumber) {
    const KindSelection kinds = processKinds(processNumber);
    // What the process's walk left open is committed first, so the plan reads the target as it is
    // and each alteration is a transaction of its own.
    data::TIBTransaction& transaction = components.IBTransaction2();
    if (transaction.Active())
        transaction.Commit();
    const std::vector<Difference> records = planDifferences(components, kinds);
    if (transaction.Active())
        transaction.Commit();
    for (const Difference& record : records) {
        if (record.action == DifferenceAction::Same || record.action == DifferenceAction::Create)
            continue;
        stopIfRequested(view);
        if (record.action == DifferenceAction::OnlyInTarget) {
            view.appendProcessLog(differenceLine(record));
            continue;
        }
        // A view is brought into line by the process's own walk.
        if (record.statements.empty() && record.refusals.empty())
            continue;
        view.objectEvent(ObjectEvent::Differs, record.type, record.name);
        view.appendProcessLog(differenceLine(record));
        for (const std::string& refusal : record.refusals) {
            view.appendProcessLog(kRefusedLeadIn + refusal);
            view.appendErrorLog(kindNoun(record.type) + std::string(" não alterada; ") + record.name);
            view.appendErrorLog(kRefusedLeadIn + refusal);
        }
        if (record.statements.empty()) {
            view.objectEvent(ObjectEvent::Refused, record.type, record.name);
            continue;
        }
        view.appendProcessLog(kAlterBanner);
        for (const std::string& statement : record.statements)
            view.appendProcessLog(statement);
        try {
            if (view.criarauto() && executeAsOne(components, view, record.statements))
                view.objectEvent(ObjectEvent::Altered, record.type, record.name);
        } catch (const std::exception& error) {
            writeFailure(view, Pane::ErrorLog,
                         kAlterFailed + std::string(failureName(record.type)) + ": " + record.name, error);
            view.objectEvent(ObjectEvent::Failed, record.type, record.name);
        }
        view.appendProcessLog(kClosingBanner);
    }
}

} // namespace vistrel::sync
