#pragma once
// The benchmark's source schema: generated SQL for every kind of object the processes handle.
#include <string>

namespace vistrel::bench {

// Object counts of the source schema. The full size is 300 tables of 15 columns, 100 views, 200
// procedures, 400 triggers, 400 indexes, 200 generators, 100 exceptions and 100 domains; a scale
// multiplies every count (at least one object of each kind remains).
struct SchemaSize {
    int tables = 300;
    int columnsPerTable = 15; // fixed: the column list below has 15 entries
    int views = 100;
    int procedures = 200;
    int triggers = 400;
    int indexes = 400;
    int generators = 200;
    int exceptions = 100;
    int domains = 100;

    static SchemaSize scaled(double scale);
};

// One isql script per kind, in the order they must be applied: domains, exceptions, generators,
// tables (with primary keys), views over tables, procedures, triggers, indexes. The scripts use
// SET TERM where bodies need it and end with their own COMMIT.
struct SchemaScripts {
    std::string domains;
    std::string exceptions;
    std::string generators;
    std::string tables;
    std::string views;
    std::string procedures;
    std::string triggers;
    std::string indexes;
};

SchemaScripts generateSchema(const SchemaSize& size);

// Object names, shared with the checks that count what reached the target.
std::string tableName(int i);     // T_0001 ...
std::string domainName(int i);    // D_0001 ...
std::string generatorName(int i); // G_0001 ...

} // namespace vistrel::bench
