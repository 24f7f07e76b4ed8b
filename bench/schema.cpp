#include "bench/schema.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace vistrel::bench {

namespace {

std::string numbered(const char* prefix, int i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%04d", prefix, i);
    return buffer;
}

int scaledCount(int full, double scale) {
    return std::max(1, static_cast<int>(std::lround(full * scale)));
}

// The 15 columns of every table; REF takes one of the domains.
struct Column {
    const char* name;
    const char* type;
};
constexpr Column kColumns[] = {
    {"ID", "INTEGER NOT NULL"},
    {"NOME", "VARCHAR(60) NOT NULL"},
    {"DESCRICAO", "VARCHAR(200)"},
    {"VALOR", "NUMERIC(15,2)"},
    {"DESCONTO", "NUMERIC(9,2)"},
    {"QTDE", "INTEGER"},
    {"SITUACAO", "CHAR(1) DEFAULT 'A'"},
    {"UF", "CHAR(2)"},
    {"DATA_CAD", "DATE"},
    {"ALTERADO_EM", "TIMESTAMP"},
    {"PESO", "DOUBLE PRECISION"},
    {"CODIGO_EXT", "BIGINT"},
    {"PRIORIDADE", "SMALLINT"},
    {"OBS", "BLOB SUB_TYPE TEXT SEGMENT SIZE 80"},
    {"REF", nullptr}, // a domain
};
static_assert(std::size(kColumns) == 15);

constexpr const char* kDomainTypes[] = {
    "VARCHAR(60)",
    "NUMERIC(15,2) DEFAULT 0 NOT NULL",
    "INTEGER CHECK (VALUE >= 0)",
    "DATE DEFAULT CURRENT_DATE",
    "CHAR(1) DEFAULT 'N' CHECK (VALUE IN ('S', 'N'))",
    "TIMESTAMP",
    "SMALLINT DEFAULT 0",
    "BIGINT",
    "DOUBLE PRECISION",
    "BLOB SUB_TYPE TEXT SEGMENT SIZE 80",
};

std::string domains(const SchemaSize& size) {
    std::string sql;
    for (int i = 1; i <= size.domains; ++i)
        sql += "CREATE DOMAIN " + domainName(i) + " AS " + kDomainTypes[(i - 1) % std::size(kDomainTypes)] +
               ";\n";
    return sql + "COMMIT;\n";
}

std::string exceptions(const SchemaSize& size) {
    std::string sql;
    for (int i = 1; i <= size.exceptions; ++i) {
        std::string message = i % 10 == 0  ? "Operação inválida no cadastro " + std::to_string(i)
                              : i % 7 == 0 ? "Can''t change record " + std::to_string(i) + " twice"
                                           : "Registro " + std::to_string(i) + " nao pode ser alterado";
        sql += "CREATE EXCEPTION " + numbered("E_", i) + " '" + message + "';\n";
    }
    return sql + "COMMIT;\n";
}

std::string generators(const SchemaSize& size) {
    std::string sql;
    for (int i = 1; i <= size.generators; ++i) {
        sql += "CREATE SEQUENCE " + generatorName(i) + ";\n";
        if (i % 5 == 0)
            sql += "ALTER SEQUENCE " + generatorName(i) + " RESTART WITH " + std::to_string(i * 1000) + ";\n";
    }
    return sql + "COMMIT;\n";
}

std::string tables(const SchemaSize& size) {
    std::string sql;
    for (int t = 1; t <= size.tables; ++t) {
        sql += "CREATE TABLE " + tableName(t) + " (\n";
        for (const Column& c : kColumns) {
            const std::string type = c.type ? c.type : domainName((t - 1) % size.domains + 1);
            sql += "  " + std::string(c.name) + " " + type + ",\n";
        }
        sql += "  CONSTRAINT PK_" + tableName(t) + " PRIMARY KEY (ID)\n);\n";
    }
    return sql + "COMMIT;\n";
}

std::string views(const SchemaSize& size) {
    std::string sql;
    for (int i = 1; i <= size.views; ++i) {
        const std::string a = tableName((i - 1) % size.tables + 1);
        const std::string b = tableName(i % size.tables + 1);
        if (i % 4 == 0) {
            sql += "CREATE VIEW " + numbered("V_", i) + " (ID, NOME, VALOR_TOTAL, UF) AS\n" +
                   "SELECT A.ID, A.NOME, A.VALOR + COALESCE(B.VALOR, 0), A.UF\nFROM " + a + " A LEFT JOIN " +
                   b + " B ON B.ID = A.ID;\n";
        } else {
            sql += "CREATE VIEW " + numbered("V_", i) + " (ID, NOME, VALOR, SITUACAO) AS\n" +
                   "SELECT ID, NOME, VALOR, SITUACAO FROM " + a + " WHERE SITUACAO = 'A';\n";
        }
    }
    return sql + "COMMIT;\n";
}

std::string procedures(const SchemaSize& size) {
    std::string sql = "SET TERM ^ ;\n";
    for (int i = 1; i <= size.procedures; ++i) {
        const std::string t = tableName((i - 1) % size.tables + 1);
        const std::string p = numbered("P_", i);
        switch (i % 4) {
        case 0:
            sql += "CREATE PROCEDURE " + p +
                   " (A_ID INTEGER)\nRETURNS (R_ID INTEGER, R_NOME VARCHAR(60), R_VALOR NUMERIC(15,2))\nAS\n"
                   "BEGIN\n  FOR SELECT ID, NOME, VALOR FROM " +
                   t + " WHERE ID >= :A_ID\n    INTO :R_ID, :R_NOME, :R_VALOR\n  DO\n    SUSPEND;\nEND^\n";
            break;
        case 1:
            sql += "CREATE PROCEDURE " + p +
                   " (A_ID INTEGER, A_VALOR NUMERIC(15,2), A_OBS VARCHAR(200))\nAS\nBEGIN\n  UPDATE " + t +
                   " SET VALOR = :A_VALOR, DESCRICAO = :A_OBS, ALTERADO_EM = CURRENT_TIMESTAMP\n"
                   "  WHERE ID = :A_ID;\nEND^\n";
            break;
        case 2:
            sql += "CREATE PROCEDURE " + p +
                   " (A_UF CHAR(2), A_DE DATE, A_ATE DATE)\nRETURNS (R_QTDE INTEGER, R_TOTAL NUMERIC(15,2))\n"
                   "AS\nBEGIN\n  SELECT COUNT(*), SUM(VALOR) FROM " +
                   t +
                   "\n  WHERE UF = :A_UF AND DATA_CAD BETWEEN :A_DE AND :A_ATE\n"
                   "  INTO :R_QTDE, :R_TOTAL;\n  SUSPEND;\nEND^\n";
            break;
        default:
            sql += "CREATE PROCEDURE " + p +
                   " (A_NOME VARCHAR(60), A_QTDE INTEGER, A_PESO DOUBLE PRECISION, A_PRIORIDADE SMALLINT)\n"
                   "RETURNS (R_ID INTEGER)\nAS\nBEGIN\n  R_ID = GEN_ID(" +
                   generatorName((i - 1) % size.generators + 1) + ", 1);\n  INSERT INTO " + t +
                   " (ID, NOME, QTDE, PESO, PRIORIDADE)\n"
                   "  VALUES (:R_ID, :A_NOME, :A_QTDE, :A_PESO, :A_PRIORIDADE);\n  SUSPEND;\nEND^\n";
            break;
        }
    }
    return sql + "SET TERM ; ^\nCOMMIT;\n";
}

// Triggers go round the tables; their kinds go round BEFORE INSERT, BEFORE UPDATE, AFTER INSERT
// OR UPDATE and AFTER DELETE, shifted by one on every round so that a table's triggers differ.
// Their bodies use no host variables.
int kindOf(int i, int tables) {
    return ((i - 1) % tables + (i - 1) / tables) % 4;
}

std::string triggers(const SchemaSize& size) {
    std::string sql = "SET TERM ^ ;\n";
    for (int i = 1; i <= size.triggers; ++i) {
        const int table = (i - 1) % size.tables + 1;
        const std::string t = tableName(table);
        const std::string name = numbered("TR_", i);
        switch (((i - 1) / size.tables) % 4) {
        case 0:
            sql +=
                "CREATE TRIGGER " + name + " FOR " + t +
                " ACTIVE BEFORE INSERT POSITION 0\nAS\nBEGIN\n  IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(" +
                generatorName((table - 1) % size.generators + 1) +
                ", 1);\n  NEW.DATA_CAD = CURRENT_DATE;\n  NEW.ALTERADO_EM = CURRENT_TIMESTAMP;\nEND^\n";
            break;
        case 1:
            sql += "CREATE TRIGGER " + name + " FOR " + t +
                   " ACTIVE BEFORE UPDATE POSITION 1\nAS\nBEGIN\n  IF (NEW.VALOR < 0) THEN EXCEPTION " +
                   numbered("E_", (table - 1) % size.exceptions + 1) +
                   ";\n  NEW.ALTERADO_EM = CURRENT_TIMESTAMP;\nEND^\n";
            break;
        case 2:
            sql += "CREATE TRIGGER " + name + " FOR " + t +
                   " ACTIVE AFTER INSERT OR UPDATE POSITION 2\nAS\nBEGIN\n  IF (NEW.SITUACAO = 'C') THEN "
                   "POST_EVENT '" +
                   t + "_CANCELADO';\nEND^\n";
            break;
        default:
            sql += "CREATE TRIGGER " + name + " FOR " + t + " ACTIVE AFTER DELETE POSITION 3\nAS\nBEGIN\n" +
                   "  POST_EVENT '" + t + "_EXCLUIDO';\nEND^\n";
            break;
        }
    }
    return sql + "SET TERM ; ^\nCOMMIT;\n";
}

// Indexes go round the tables, their kinds round plain, unique, descending and two-column ones
// as the triggers' do; every 40th index is inactive.
std::string indexes(const SchemaSize& size) {
    std::string sql;
    for (int i = 1; i <= size.indexes; ++i) {
        const std::string t = tableName((i - 1) % size.tables + 1);
        std::string name;
        switch (kindOf(i, size.tables)) {
        case 0:
            name = "IX_" + t + "_NOME";
            sql += "CREATE INDEX " + name + " ON " + t + " (NOME);\n";
            break;
        case 1:
            name = "UX_" + t + "_CODIGO";
            sql += "CREATE UNIQUE INDEX " + name + " ON " + t + " (CODIGO_EXT);\n";
            break;
        case 2:
            name = "IX_" + t + "_DATA";
            sql += "CREATE DESCENDING INDEX " + name + " ON " + t + " (DATA_CAD);\n";
            break;
        default:
            name = "IX_" + t + "_UF_NOME";
            sql += "CREATE INDEX " + name + " ON " + t + " (UF, NOME);\n";
            break;
        }
        if (i % 40 == 0)
            sql += "ALTER INDEX " + name + " INACTIVE;\n";
    }
    return sql + "COMMIT;\n";
}

} // namespace

SchemaSize SchemaSize::scaled(double scale) {
    SchemaSize full;
    SchemaSize s;
    s.tables = scaledCount(full.tables, scale);
    s.views = scaledCount(full.views, scale);
    s.procedures = scaledCount(full.procedures, scale);
    s.triggers = scaledCount(full.triggers, scale);
    s.indexes = scaledCount(full.indexes, scale);
    s.generators = scaledCount(full.generators, scale);
    s.exceptions = scaledCount(full.exceptions, scale);
    s.domains = scaledCount(full.domains, scale);
    return s;
}

std::string tableName(int i) {
    return numbered("T_", i);
}
std::string domainName(int i) {
    return numbered("D_", i);
}
std::string generatorName(int i) {
    return numbered("G_", i);
}

SchemaScripts generateSchema(const SchemaSize& size) {
    return {domains(size), exceptions(size), generators(size), tables(size),
            views(size),   procedures(size), triggers(size),   indexes(size)};
}

} // namespace vistrel::bench
