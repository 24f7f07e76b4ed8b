#pragma once
// The metadata extractor: turns the system-table rows of one named domain, exception, view,
// trigger or index into the DDL text that recreates it.
#include "data/ibdatabase.h"
#include "data/ibsql.h"
#include "data/strings.h"
#include "extract/extracttext.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::extract {

enum TExtractObjectTypes {
    eoDatabase = 0,
    eoDomain = 1,
    eoTable = 2,
    eoView = 3,
    eoProcedure = 4,
    eoFunction = 5,
    eoGenerator = 6,
    eoException = 7,
    eoBLOBFilter = 8,
    eoRole = 9,
    eoTrigger = 10,
    eoForeign = 11,
    eoIndexes = 12,
    eoChecks = 13,
    eoData = 14,
    eoEUAUser = 15,
    eoEncryption = 16,
    eoGrants = 17,
    eoSubscription = 18,
};

enum TExtractType {
    etDomain = 0,
    etTable = 1,
    etRole = 2,
    etTrigger = 3,
    etForeign = 4,
    etIndex = 5,
    etData = 6,
    etGrant = 7,
    etCheck = 8,
    etAlterProc = 9,
    etEUAUser = 10,
    etEncryption = 11,
};

// A set of extraction options: bit n stands for the TExtractType of value n.
class TExtractTypes {
public:
    constexpr TExtractTypes() = default;
    constexpr TExtractTypes(std::initializer_list<TExtractType> types) {
        for (const TExtractType t : types) {
            m_bits = static_cast<uint16_t>(m_bits | (1u << t));
        }
    }
    constexpr bool contains(TExtractType t) const noexcept { return ((m_bits >> t) & 1u) != 0; }
    constexpr bool empty() const noexcept { return m_bits == 0; }
    constexpr uint16_t bits() const noexcept { return m_bits; }
    friend constexpr bool operator==(TExtractTypes a, TExtractTypes b) noexcept {
        return a.m_bits == b.m_bits;
    }

private:
    uint16_t m_bits = 0;
};

// Binding contract: Database and Transaction are not owned. When either object is destroyed
// while bound, the extractor forgets it (the binding reads as unassigned afterwards).
class TIBExtract : private data::DatabaseClient, private data::TransactionClient {
public:
    TIBExtract();
    ~TIBExtract();
    TIBExtract(const TIBExtract&) = delete;
    TIBExtract& operator=(const TIBExtract&) = delete;

    data::TIBDatabase* Database() const noexcept { return m_database; }
    void setDatabase(data::TIBDatabase* database);
    data::TIBTransaction* Transaction() const noexcept { return m_transaction; }
    void setTransaction(data::TIBTransaction* transaction);

    // The result of the last extraction; its Text() is every item followed by CR LF.
    const data::TStringList& Items() const noexcept { return m_metaData; }

    bool IncludeComments = true;
    bool IncludeSetTerm = false;
    bool ShowSystem = false;
    bool ConnectAsOwner = false;
    // 0: quote by the session's dialect; 1 or 3 replaces it.
    int OverrideSQLDialect = 0;
    // The SQL dialect of the database the text is written for. 1: every name is written as
    // dialect 1 reads it, unquoted, and a name that dialect 1 cannot hold raises EDialectName
    // (sqlIdentifier(1, name)); 0: names are quoted by GetDialect().
    int TargetDialect = 0;

    // Refreshed at the start of every extraction.
    int FDefaultCharSet() const noexcept { return m_defaultCharSet; } // -1 when the database has none
    int ODSMajorVersion() const noexcept { return m_odsMajorVersion; }
    int DBSQLDialect() const noexcept { return m_dbSQLDialect; }

    // Replaces Items with the DDL of the named object (all objects of the kind for an empty
    // name). Built for eoDomain, eoException, eoView, eoTrigger and eoIndexes with the empty
    // option set; anything else raises EExtractError before anything happens. Starts the
    // transaction when it is not active and commits it afterwards only in that case. On an
    // error Items keeps what was appended before it and a transaction started here stays active.
    void ExtractObject(TExtractObjectTypes ObjectType, const std::string& ObjectName = {},
                       TExtractTypes ExtractTypes = {});

    // OverrideSQLDialect when not 0, else the session's SQL dialect.
    int GetDialect() const;
    static std::string QuoteIdentifier(int Dialect, const std::string& Value) {
        return quoteIdentifier(Dialect, Value);
    }
    // A new statement on Database running in Transaction.
    std::unique_ptr<data::TIBSQL> CreateIBSQL() const;

    // Type rendering of the current row of a domain query (all columns of RDB$FIELDS): the text
    // that follows "CREATE DOMAIN name AS ". Uses the values refreshed by the last extraction.
    std::string FormatDomainStr(data::TIBSQL& qryDomains);
    std::string GetCharacterSets(int16_t CharSetId, int16_t Collation, bool CollateOnly);
    std::string GetArrayField(const std::string& FieldName);
    // RDB$CHARACTER_LENGTH of the current row when not null, else RDB$FIELD_LENGTH.
    static int GetFieldLength(data::TIBSQL& qryDomains);

    // The listings: each appends the lines of the selected objects to Items. Only the listing
    // modes passed by ExtractObject (etDomain, etTrigger, etIndex) are built; another raises
    // EExtractError.
    void ListDomains(const std::string& ObjectName, TExtractType ExtractType = etDomain);
    void ListException(const std::string& ObjectName);
    void ListViews(const std::string& ObjectName);
    void ListTriggers(const std::string& ObjectName, TExtractType ExtractType = etTrigger);
    void ListIndex(const std::string& ObjectName, TExtractType ExtractType = etIndex);
    // The quoted column list of an index, separated by ", ".
    std::string GetIndexSegments(const std::string& indexname);
    // The stored expression of an expression index, in parentheses; empty when it has none.
    std::string GetIndexExpression(const std::string& indexname);

    // The statement lines of one view from the current row of a view query (RDB$RELATION_NAME,
    // RDB$OWNER_NAME, RDB$VIEW_SOURCE); qryColumns is the view-column query, run here for the view.
    std::vector<std::string> ViewStatement(data::TIBSQL& qryViews, data::TIBSQL& qryColumns) const;
    // The statement lines of one trigger from the current row of a trigger query (the columns
    // of RDB$TRIGGERS); a trigger without relation (database or DDL trigger) names no table.
    // Raises EExtractError for a type code that encodes no event.
    std::vector<std::string> TriggerStatement(data::TIBSQL& qryTriggers) const;

private:
    void databaseDisconnecting() override {}
    void databaseDestroyed() override { m_database = nullptr; }
    void transactionEnding() override {}
    void transactionDestroyed() override { m_transaction = nullptr; }

    std::unique_ptr<data::TIBSQL> createQuery(const char* sql) const;
    std::string quote(const std::string& name) const {
        return TargetDialect == 1 ? sqlIdentifier(1, name) : QuoteIdentifier(GetDialect(), name);
    }

    data::TIBDatabase* m_database = nullptr;
    data::TIBTransaction* m_transaction = nullptr;
    data::TStringList m_metaData;
    int m_defaultCharSet = -1;
    int m_odsMajorVersion = 0;
    int m_dbSQLDialect = 0;
};

} // namespace vistrel::extract
