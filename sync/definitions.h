#pragma once
// What a database holds of every kind the processes walk, as typed definitions read from its
// catalogue in a few set queries per kind (one for all generators, one for all relation fields,
// ...). The same reading runs on the source and on the target, so that two definitions of one
// object compare field by field. Names are kept without the blanks that pad the catalogue.
#include "sync/constraints.h"
#include "sync/objectevents.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::data {
class TIBDatabase;
class TField;
} // namespace vistrel::data

namespace vistrel::sync {

// A catalogue value that should be a number and is not: the message names the field and the text.
class ECatalogueValue : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The number in a catalogue field (blanks around it disregarded); none for null or an empty text.
// Anything else raises ECatalogueValue naming the field.
std::optional<int64_t> catalogueNumber(const data::TField& field);

// A source text as two texts of it compare: line breaks as LF, the blanks at each line's end and
// the empty lines at both ends removed. Texts that differ only there are the same definition.
std::string normalizedSource(const std::string& text);

// Whether a catalogue type code is a text type (CHAR, VARCHAR, CSTRING) or an integer storage of an
// exact numeric (SMALLINT, INTEGER, BIGINT, scaled or not).
bool isTextType(int typeCode);
bool isExactNumericType(int typeCode);

// The type of a field (domain, column or parameter) as a statement declares it.
struct FieldType {
    std::string text;         // VARCHAR(40), NUMERIC(9, 2), BLOB SUB_TYPE TEXT, ...
    std::string characterSet; // text types only
    std::string collation;    // the collation's name, the set's default one included
    int typeCode = 0;
    int length = 0;    // declared characters for text, bytes otherwise
    int precision = 0; // exact numerics: declared or the storage's largest
    int scale = 0;     // stored negative
    bool operator==(const FieldType&) const = default;
};

struct GeneratorDefinition {
    std::string name;
    int64_t increment = 1;
};

struct ExceptionDefinition {
    std::string name;
    std::string message;
};

struct DomainDefinition {
    std::string name;
    FieldType type;
    std::string defaultSource; // "DEFAULT ...", normalised
    std::string checkSource;   // "CHECK (...)", normalised
    std::string computedSource;
    bool notNull = false;
};

struct ColumnDefinition {
    std::string name;
    int position = 0;   // 0-based, as catalogued
    std::string domain; // the user domain it is declared with, empty for none
    FieldType type;     // of its field (the domain's for a domain column)
    std::string defaultSource;
    std::string computedSource;
    bool notNull = false;
    bool identity = false;
};

struct TableDefinition {
    std::string name;
    std::vector<ColumnDefinition> columns; // in catalogue position order
};

struct ViewDefinition {
    std::string name;
    std::string source;
};

struct ParameterDefinition {
    std::string name;
    bool output = false;
    std::string declaration; // the type, domain, TYPE OF ... as a statement declares it
    std::string defaultSource;
    bool notNull = false;
    bool operator==(const ParameterDefinition&) const = default;
};

struct ProcedureDefinition {
    std::string name;
    std::vector<ParameterDefinition> parameters; // inputs then outputs, each in order
    std::string source;
};

struct TriggerDefinition {
    std::string name;
    std::string relation; // empty for a database or DDL trigger
    int64_t type = 0;     // the catalogue's event code
    int64_t sequence = 0; // POSITION
    bool inactive = false;
    std::string source;
};

struct IndexDefinition {
    std::string name;
    std::string relation;
    bool unique = false;
    bool descending = false;
    bool inactive = false;
    std::vector<std::string> segments; // in order
    std::string expression;            // COMPUTED BY source, normalised
};

// Everything of one database that the processes walk.
struct SchemaDefinitions {
    std::vector<GeneratorDefinition> generators;
    std::vector<ExceptionDefinition> exceptions;
    std::vector<DomainDefinition> domains;
    std::vector<TableDefinition> tables;
    std::vector<ViewDefinition> views;
    std::vector<ProcedureDefinition> procedures;
    std::vector<TriggerDefinition> triggers;
    std::vector<IndexDefinition> indexes;
    std::vector<ConstraintDefinition> constraints;
};

// Which kinds to read (the others stay empty).
struct KindSelection {
    bool generators = false, exceptions = false, domains = false, tables = false, views = false,
         procedures = false, triggers = false, indexes = false, constraints = false;
    static KindSelection all() { return {true, true, true, true, true, true, true, true, true}; }
    bool covers(ObjectType type) const;
};

// Reads the chosen kinds of an attached session's database, in the session's default transaction.
SchemaDefinitions readDefinitions(data::TIBDatabase& session, const KindSelection& kinds);

} // namespace vistrel::sync
