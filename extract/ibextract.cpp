#include "extract/ibextract.h"

#include "data/errors.h"
#include "extract/fieldtype.h"

#include <array>
#include <utility>

namespace vistrel::extract {

namespace {

using data::TIBSQL;
using data::TStringList;

constexpr const char* kCRLF = "\r\n";
constexpr const char* kTab = "\t";

// ---- Queries ----------------------------------------------------------------------------------

constexpr const char* kDefaultCharSetSQL =
    "SELECT CST.RDB$CHARACTER_SET_ID   FROM RDB$CHARACTER_SETS CST JOIN RDB$DATABASE DB ON        "
    "CST.RDB$CHARACTER_SET_NAME = DB.RDB$CHARACTER_SET_NAME ";

constexpr const char* kCollationSQL =
    "SELECT CST.RDB$CHARACTER_SET_NAME, COL.RDB$COLLATION_NAME, CST.RDB$DEFAULT_COLLATE_NAME   FROM "
    "RDB$COLLATIONS COL JOIN RDB$CHARACTER_SETS CST ON        COL.RDB$CHARACTER_SET_ID = "
    "CST.RDB$CHARACTER_SET_ID  WHERE COL.RDB$COLLATION_ID = :COLLATION AND        CST.RDB$CHARACTER_SET_ID "
    "= :CHAR_SET_ID  ORDER BY COL.RDB$COLLATION_NAME, CST.RDB$CHARACTER_SET_NAME";

constexpr const char* kCharacterSetSQL = "SELECT CST.RDB$CHARACTER_SET_NAME   FROM RDB$CHARACTER_SETS CST  "
                                         "WHERE CST.RDB$CHARACTER_SET_ID = :CHARSETID  ORDER BY "
                                         "CST.RDB$CHARACTER_SET_NAME";

constexpr const char* kArrayDimensionsSQL = "SELECT * FROM RDB$FIELD_DIMENSIONS FDIM  WHERE   "
                                            "FDIM.RDB$FIELD_NAME = :FIELDNAME  ORDER BY FDIM.RDB$DIMENSION";

constexpr const char* kDomainSQL =
    "SELECT * FROM RDB$FIELDS FLD WHERE FLD.RDB$FIELD_NAME = :DomainName ORDER BY FLD.RDB$FIELD_NAME";
constexpr const char* kAllDomainsSQL =
    "select * from RDB$FIELDS where RDB$SYSTEM_FLAG <> 1 order BY RDB$FIELD_NAME";

constexpr const char* kExceptionSQL =
    "select * from RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME = :ExceptionName ORDER BY RDB$EXCEPTION_NAME";
constexpr const char* kAllExceptionsSQL = "select * from RDB$EXCEPTIONS ORDER BY RDB$EXCEPTION_NAME";

constexpr const char* kViewSQL = "SELECT RDB$RELATION_NAME, RDB$OWNER_NAME, RDB$VIEW_SOURCE FROM "
                                 "RDB$RELATIONS WHERE   (RDB$SYSTEM_FLAG <> "
                                 "1 OR RDB$SYSTEM_FLAG IS NULL) AND   NOT RDB$VIEW_BLR IS NULL AND   "
                                 "RDB$FLAGS = 1 AND   RDB$RELATION_NAME "
                                 "= :ViewName ORDER BY RDB$RELATION_ID";
constexpr const char* kAllViewsSQL = "SELECT RDB$RELATION_NAME, RDB$OWNER_NAME, RDB$VIEW_SOURCE FROM "
                                     "RDB$RELATIONS WHERE   (RDB$SYSTEM_FLAG <> "
                                     "1 OR RDB$SYSTEM_FLAG IS NULL) AND   NOT RDB$VIEW_BLR IS NULL AND   "
                                     "RDB$FLAGS = 1 ORDER BY RDB$RELATION_ID";
constexpr const char* kViewColumnsSQL =
    "SELECT RDB$FIELD_NAME FROM RDB$RELATION_FIELDS WHERE   RDB$RELATION_NAME "
    "= :RELATION_NAME ORDER BY RDB$FIELD_POSITION";

constexpr const char* kTriggerSQL =
    "SELECT * FROM RDB$TRIGGERS TRG JOIN RDB$RELATIONS REL ON   TRG.RDB$RELATION_NAME = "
    "REL.RDB$RELATION_NAME "
    "WHERE  TRG.RDB$TRIGGER_NAME = :TriggerName AND  (REL.RDB$SYSTEM_FLAG <> 1 OR REL.RDB$SYSTEM_FLAG IS "
    "NULL) "
    "AND   NOT EXISTS (SELECT * FROM RDB$CHECK_CONSTRAINTS CHK WHERE      TRG.RDB$TRIGGER_NAME = "
    "CHK.RDB$TRIGGER_NAME) ORDER BY TRG.RDB$RELATION_NAME, TRG.RDB$TRIGGER_TYPE,     "
    "TRG.RDB$TRIGGER_SEQUENCE, "
    "TRG.RDB$TRIGGER_NAME";
constexpr const char* kAllTriggersSQL =
    "SELECT * FROM RDB$TRIGGERS TRG JOIN RDB$RELATIONS REL ON   TRG.RDB$RELATION_NAME = "
    "REL.RDB$RELATION_NAME "
    "WHERE  (REL.RDB$SYSTEM_FLAG <> 1 OR REL.RDB$SYSTEM_FLAG IS NULL) AND   NOT EXISTS (SELECT * FROM "
    "RDB$CHECK_CONSTRAINTS CHK WHERE      TRG.RDB$TRIGGER_NAME = CHK.RDB$TRIGGER_NAME) ORDER BY "
    "TRG.RDB$RELATION_NAME, TRG.RDB$TRIGGER_TYPE,     TRG.RDB$TRIGGER_SEQUENCE, TRG.RDB$TRIGGER_NAME";

// Database and DDL triggers have no relation, so the join above never meets them: they are read
// on their own, after the table triggers.
constexpr const char* kTriggerWithoutRelationSQL =
    "SELECT * FROM RDB$TRIGGERS TRG WHERE TRG.RDB$TRIGGER_NAME = :TriggerName AND "
    "TRG.RDB$RELATION_NAME IS NULL AND (TRG.RDB$SYSTEM_FLAG = 0 OR TRG.RDB$SYSTEM_FLAG IS NULL)";
constexpr const char* kAllTriggersWithoutRelationSQL =
    "SELECT * FROM RDB$TRIGGERS TRG WHERE TRG.RDB$RELATION_NAME IS NULL AND "
    "(TRG.RDB$SYSTEM_FLAG = 0 OR TRG.RDB$SYSTEM_FLAG IS NULL) ORDER BY TRG.RDB$TRIGGER_TYPE, "
    "TRG.RDB$TRIGGER_SEQUENCE, TRG.RDB$TRIGGER_NAME";

constexpr const char* kIndexSQL =
    "SELECT IDX.RDB$RELATION_NAME, IDX.RDB$INDEX_NAME, IDX.RDB$UNIQUE_FLAG,        IDX.RDB$INDEX_TYPE, "
    "RDB$INDEX_INACTIVE FROM RDB$INDICES IDX JOIN RDB$RELATIONS RELC ON   IDX.RDB$RELATION_NAME = "
    "RELC.RDB$RELATION_NAME WHERE (RELC.RDB$SYSTEM_FLAG <> 1 OR RELC.RDB$SYSTEM_FLAG IS NULL) AND   "
    "IDX.RDB$INDEX_NAME = :IndexName AND   NOT EXISTS (SELECT * FROM RDB$RELATION_CONSTRAINTS RC     WHERE "
    "RC.RDB$INDEX_NAME = IDX.RDB$INDEX_NAME) ORDER BY IDX.RDB$RELATION_NAME, IDX.RDB$INDEX_NAME";
constexpr const char* kAllIndexesSQL =
    "SELECT IDX.RDB$RELATION_NAME, IDX.RDB$INDEX_NAME, IDX.RDB$UNIQUE_FLAG,        IDX.RDB$INDEX_TYPE, "
    "RDB$INDEX_INACTIVE FROM RDB$INDICES IDX JOIN RDB$RELATIONS RELC ON   IDX.RDB$RELATION_NAME = "
    "RELC.RDB$RELATION_NAME WHERE (RELC.RDB$SYSTEM_FLAG <> 1 OR RELC.RDB$SYSTEM_FLAG IS NULL) AND   NOT "
    "EXISTS "
    "(SELECT * FROM RDB$RELATION_CONSTRAINTS RC     WHERE RC.RDB$INDEX_NAME = IDX.RDB$INDEX_NAME) ORDER BY "
    "IDX.RDB$RELATION_NAME, IDX.RDB$INDEX_NAME";
// The expression of an index without segments (one made with COMPUTED BY).
constexpr const char* kIndexExpressionSQL =
    "SELECT RDB$EXPRESSION_SOURCE FROM RDB$INDICES WHERE RDB$INDEX_NAME = :INDEXNAME";
constexpr const char* kIndexSegmentsSQL = "SELECT * FROM RDB$INDEX_SEGMENTS SEG WHERE SEG.RDB$INDEX_NAME = "
                                          ":INDEXNAME ORDER BY SEG.RDB$FIELD_POSITION";

// ---- Domain clauses ----------------------------------------------------------------------------

constexpr const char* kItemNotFound = "Item not found";

constexpr const char* kDefaultClause = "%s%s %s";
constexpr const char* kCheckClause = "%s%s %s";
constexpr const char* kCheckComment = "%s%s /* %s */";
constexpr const char* kCheckKeyword = "CHECK";
constexpr const char* kNotNull = " NOT NULL";
constexpr const char* kArrayOpen = "[";
constexpr const char* kArraySeparator = ", ";
constexpr const char* kBoundSeparator = ":";
constexpr const char* kArrayClose = "] ";

// ---- Listings -----------------------------------------------------------------------------------

constexpr const char* kDomainHeader = kDomainHeaderText;
constexpr const char* kCreateDomain = "CREATE DOMAIN %s AS ";
constexpr const char* kStatementEnd = ";";

constexpr const char* kExceptionHeader = kExceptionHeaderText;
constexpr const char* kCreateException = "CREATE EXCEPTION %s %s%s";

constexpr const char* kViewHeader = "%s/* View: %s, Owner: %s */%s";
constexpr const char* kCreateView = "CREATE VIEW %s (";
constexpr const char* kViewColumnIndent = "  ";
constexpr const char* kViewColumnSeparator = ", ";
constexpr const char* kViewColumnsEnd = ") %0:sAS%0:s";
constexpr const char* kViewEnd = "%s%s";

const std::string kTriggerHeader = std::string("%s") + kTriggerHeaderText + "%s";
constexpr const char* kSetTerm = "SET TERM %s %s%s";
constexpr const char* kCaret = "^";
constexpr const char* kSemicolon = ";";
constexpr const char* kInactive = "INACTIVE";
constexpr const char* kActive = "ACTIVE";
constexpr const char* kCommentOpen = "/* ";
constexpr const char* kCommentClose = " */";
constexpr const char* kCreateTrigger = "CREATE TRIGGER %s FOR %s %s%s %s POSITION %d";
constexpr const char* kTriggerEnd = " ;\r\n";
constexpr const char* kTriggerEndSetTerm = " ^\r\n";
constexpr const char* kCommitWork = kCommitWorkText;
constexpr const char* kCommitWorkSetTerm = "COMMIT WORK ^";
constexpr const char* kSetTermBack = "SET TERM ;^";
constexpr const char* kUnknownTriggerType = "Trigger type %d has no event";
constexpr const char* kCreateTriggerWithoutRelation = "CREATE TRIGGER %s %s%s %s POSITION %d";

const std::string kIndexHeaderStart = std::string("\r\n") + kIndexHeaderHeadText;
constexpr const char* kIndexHeaderEnd = kIndexHeaderTailText;
constexpr const char* kAllIndexesHeader = "\r\n/*  Index definitions for all user tables */\r\n";
constexpr const char* kUnique = " UNIQUE";
constexpr const char* kDescending = " DESCENDING";
constexpr const char* kCreateIndex = "CREATE%s%s INDEX %s ON %s(";
constexpr const char* kIndexColumnsEnd = ")";
constexpr const char* kCreateExpressionIndex = "CREATE%s%s INDEX %s ON %s COMPUTED BY %s";
constexpr const char* kExpressionOpen = "(";
constexpr const char* kExpressionClose = ")";
constexpr const char* kIndexSegmentSeparator = ", ";
constexpr const char* kAlterIndexInactive = "ALTER INDEX %S INACTIVE;";

// ---- Errors of the extractor ----------------------------------------------------------------

constexpr const char* kKindNotBuilt = "Extraction of this object kind is not supported";
constexpr const char* kOptionsNotBuilt = "Extraction options are not supported";
constexpr const char* kModeNotBuilt = "Listing mode not supported";

// Whether the opening parenthesis of text is closed by its last character, quotes and string
// literals skipped: "(A) || (B)" is not enclosed, "(UPPER(A))" is.
bool enclosedInParentheses(const std::string& text) {
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') {
        return false;
    }
    int depth = 0;
    char quoteChar = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoteChar != 0) {
            if (c == quoteChar) {
                quoteChar = 0;
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            quoteChar = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i + 1 == text.size();
        }
    }
    return false;
}

void requireMode(TExtractType given, TExtractType built) {
    if (given != built) {
        throw EExtractError(kModeNotBuilt);
    }
}

// Names the server generates for implicit domains: "RDB$" followed by a digit.
bool isGeneratedDomainName(const std::string& name) {
    return name.size() > 4 && name.compare(0, 4, "RDB$") == 0 && name[4] >= '0' && name[4] <= '9';
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

TIBExtract::TIBExtract() = default;

TIBExtract::~TIBExtract() {
    if (m_database != nullptr) {
        m_database->removeClient(this);
    }
    if (m_transaction != nullptr) {
        m_transaction->removeClient(this);
    }
}

void TIBExtract::setDatabase(data::TIBDatabase* database) {
    if (database == m_database) {
        return;
    }
    if (m_database != nullptr) {
        m_database->removeClient(this);
    }
    m_database = database;
    if (m_database != nullptr) {
        m_database->addClient(this);
    }
}

void TIBExtract::setTransaction(data::TIBTransaction* transaction) {
    if (transaction == m_transaction) {
        return;
    }
    if (m_transaction != nullptr) {
        m_transaction->removeClient(this);
    }
    m_transaction = transaction;
    if (m_transaction != nullptr) {
        m_transaction->addClient(this);
    }
}

void TIBExtract::ExtractObject(TExtractObjectTypes ObjectType, const std::string& ObjectName,
                               TExtractTypes ExtractTypes) {
    if (m_transaction == nullptr) {
        data::raiseClientError(data::ClientError::TransactionNotAssigned);
    }
    if (m_database == nullptr) {
        data::raiseClientError(data::ClientError::DatabaseNotAssigned);
    }
    switch (ObjectType) {
    case eoDomain:
    case eoException:
    case eoView:
    case eoTrigger:
    case eoIndexes:
        break;
    default:
        throw EExtractError(kKindNotBuilt);
    }
    if (!ExtractTypes.empty()) {
        throw EExtractError(kOptionsNotBuilt);
    }

    bool startedHere = false;
    if (!m_transaction->Active()) {
        m_transaction->StartTransaction();
        startedHere = true;
    }
    m_metaData.Clear();

    {
        const auto query = createQuery(kDefaultCharSetSQL);
        query->ExecQuery();
        m_defaultCharSet = query->Eof() ? -1 : query->Fields(0).AsLong();
    }
    m_odsMajorVersion = m_database->odsMajorVersion();
    m_dbSQLDialect = m_database->dbSQLDialect();

    switch (ObjectType) {
    case eoDomain:
        ListDomains(ObjectName, etDomain);
        break;
    case eoException:
        ListException(ObjectName);
        break;
    case eoView:
        ListViews(ObjectName);
        break;
    case eoTrigger:
        ListTriggers(ObjectName, etTrigger);
        break;
    default:
        ListIndex(ObjectName, etIndex);
        break;
    }

    if (startedHere) {
        m_transaction->Commit();
    }
}

int TIBExtract::GetDialect() const {
    if (OverrideSQLDialect != 0) {
        return OverrideSQLDialect;
    }
    if (m_database == nullptr) {
        data::raiseClientError(data::ClientError::DatabaseNotAssigned);
    }
    return m_database->SQLDialect();
}

std::unique_ptr<data::TIBSQL> TIBExtract::CreateIBSQL() const {
    auto statement = std::make_unique<TIBSQL>();
    statement->setDatabase(m_database);
    statement->setTransaction(m_transaction);
    return statement;
}

std::unique_ptr<data::TIBSQL> TIBExtract::createQuery(const char* sql) const {
    auto statement = CreateIBSQL();
    statement->SQL().SetText(sql);
    return statement;
}

// ---- Type rendering -----------------------------------------------------------------------------

int TIBExtract::GetFieldLength(TIBSQL& qryDomains) {
    const auto characterLength = qryDomains.FieldByName("RDB$CHARACTER_LENGTH");
    if (!characterLength.IsNull()) {
        return characterLength.AsLong();
    }
    return qryDomains.FieldByName("RDB$FIELD_LENGTH").AsLong();
}

std::string TIBExtract::FormatDomainStr(TIBSQL& qryDomains) {
    FieldTypeValues field{
        .typeCode = qryDomains.FieldByName("RDB$FIELD_TYPE").AsLong(),
        .subType = qryDomains.FieldByName("RDB$FIELD_SUB_TYPE").AsLong(),
        .scale = qryDomains.FieldByName("RDB$FIELD_SCALE").AsLong(),
    };
    // A declared precision counts only where the database records one for every exact numeric.
    const auto precision = qryDomains.FieldByName("RDB$FIELD_PRECISION");
    if (m_odsMajorVersion >= 10 && m_dbSQLDialect >= 3 && !precision.IsNull()) {
        field.precision = precision.AsLong();
    }
    // Lengths are read only for the types that have them.
    if (field.typeCode == fieldtype::kChar || field.typeCode == fieldtype::kVarchar) {
        field.length = GetFieldLength(qryDomains);
    } else if (field.typeCode == fieldtype::kBlob) {
        field.segmentLength = qryDomains.FieldByName("RDB$SEGMENT_LENGTH").AsLong();
    }
    std::string text;
    try {
        text = fieldTypeText(field, kDomainTypeOptions);
    } catch (const EUnsupportedFieldType&) {
        // The listing reports a type code that its table lacks as the failed lookup it is here.
        throw EExtractError(kItemNotFound);
    }

    // Array bounds belong right after the type and its length: the server refuses them after a
    // character set clause (CHAR(3) [1:4] CHARACTER SET WIN1252 is the only accepted order).
    if (!qryDomains.FieldByName("RDB$DIMENSIONS").IsNull()) {
        text += GetArrayField(qryDomains.FieldByName("RDB$FIELD_NAME").AsTrimString());
    }
    const auto charSetId = qryDomains.FieldByName("RDB$CHARACTER_SET_ID");
    if (!charSetId.IsNull()) {
        text += GetCharacterSets(charSetId.AsShort(), 0, false);
    }
    const auto defaultSource = qryDomains.FieldByName("RDB$DEFAULT_SOURCE");
    if (!defaultSource.IsNull()) {
        text +=
            formatText(kDefaultClause, {std::string(kCRLF), std::string(kTab), defaultSource.AsTrimString()});
    }
    const auto validationSource = qryDomains.FieldByName("RDB$VALIDATION_SOURCE");
    if (!validationSource.IsNull()) {
        const std::string source = validationSource.AsTrimString();
        const char* pattern =
            startsWith(data::upperAscii(source), kCheckKeyword) ? kCheckClause : kCheckComment;
        text += formatText(pattern, {std::string(kCRLF), std::string(kTab), source});
    }
    if (qryDomains.FieldByName("RDB$NULL_FLAG").AsLong() == 1) {
        text += kNotNull;
    }
    const auto collationId = qryDomains.FieldByName("RDB$COLLATION_ID");
    if (!collationId.IsNull() && collationId.AsLong() != 0) {
        text += GetCharacterSets(charSetId.AsShort(), collationId.AsShort(), true);
    }
    return text;
}

std::string TIBExtract::GetCharacterSets(int16_t CharSetId, int16_t Collation, bool CollateOnly) {
    if (Collation != 0) {
        const auto query = createQuery(kCollationSQL);
        query->ParamByName("COLLATION").setAsLong(Collation);
        query->ParamByName("CHAR_SET_ID").setAsLong(CharSetId);
        query->ExecQuery();
        if (query->Eof()) {
            return {};
        }
        const std::string charSetName = data::trim(query->FieldByName("RDB$CHARACTER_SET_NAME").AsString());
        const std::string collationName = data::trim(query->FieldByName("RDB$COLLATION_NAME").AsString());
        const std::string defaultCollation =
            data::trim(query->FieldByName("RDB$DEFAULT_COLLATE_NAME").AsString());
        return collationClauses({charSetName, collationName, defaultCollation}, CollateOnly,
                                CharSetId == m_defaultCharSet, TargetDialect == 1 ? 1 : 3);
    }
    if (CharSetId != 0) {
        const auto query = createQuery(kCharacterSetSQL);
        query->ParamByName("CHARSETID").setAsShort(CharSetId);
        query->ExecQuery();
        if (!query->Eof()) {
            return characterSetClause(data::trim(query->FieldByName("RDB$CHARACTER_SET_NAME").AsString()),
                                      CharSetId == m_defaultCharSet);
        }
    }
    return {};
}

std::string TIBExtract::GetArrayField(const std::string& FieldName) {
    const auto query = createQuery(kArrayDimensionsSQL);
    query->ParamByName("FIELDNAME").setAsTrimString(FieldName);
    query->ExecQuery();
    std::string text = kArrayOpen;
    while (!query->Eof()) {
        if (query->FieldByName("RDB$DIMENSION").AsLong() > 0) {
            text += kArraySeparator;
        }
        text += query->FieldByName("RDB$LOWER_BOUND").AsTrimString();
        text += kBoundSeparator;
        text += query->FieldByName("RDB$UPPER_BOUND").AsTrimString();
        query->Next();
    }
    text += kArrayClose;
    return text;
}

// ---- Domains and exceptions -----------------------------------------------------------------

void TIBExtract::ListDomains(const std::string& ObjectName, TExtractType ExtractType) {
    requireMode(ExtractType, etDomain);
    const auto query = createQuery(ObjectName.empty() ? kAllDomainsSQL : kDomainSQL);
    if (!ObjectName.empty()) {
        query->ParamByName("DomainName").setAsTrimString(ObjectName);
    }
    query->ExecQuery();
    bool first = true;
    for (; !query->Eof(); query->Next()) {
        const std::string name = query->FieldByName("RDB$FIELD_NAME").AsTrimString();
        if (isGeneratedDomainName(name) && query->FieldByName("RDB$SYSTEM_FLAG").AsLong() != 1) {
            continue;
        }
        if (first) {
            if (IncludeComments) {
                m_metaData.Add(kDomainHeader);
            }
            first = false;
        }
        m_metaData.Add(formatText(kCreateDomain, {quote(name)}) + FormatDomainStr(*query) + kStatementEnd);
    }
}

void TIBExtract::ListException(const std::string& ObjectName) {
    const auto query = createQuery(ObjectName.empty() ? kAllExceptionsSQL : kExceptionSQL);
    if (!ObjectName.empty()) {
        query->ParamByName("ExceptionName").setAsTrimString(ObjectName);
    }
    query->ExecQuery();
    bool first = true;
    for (; !query->Eof(); query->Next()) {
        if (first) {
            m_metaData.Add({});
            if (IncludeComments) {
                m_metaData.Add(kExceptionHeader);
            }
            m_metaData.Add({});
            first = false;
        }
        m_metaData.Add(
            formatText(kCreateException, {quote(query->FieldByName("RDB$EXCEPTION_NAME").AsTrimString()),
                                          quoteString(query->FieldByName("RDB$MESSAGE").AsTrimString()),
                                          std::string(kStatementEnd)}));
    }
}

// ---- Views and triggers ---------------------------------------------------------------------

std::vector<std::string> TIBExtract::ViewStatement(TIBSQL& qryViews, TIBSQL& qryColumns) const {
    const std::string viewName = qryViews.FieldByName("RDB$RELATION_NAME").AsTrimString();
    TStringList slist;
    if (IncludeComments) {
        slist.Add(formatText(kViewHeader,
                             {std::string(kCRLF), viewName,
                              qryViews.FieldByName("RDB$OWNER_NAME").AsTrimString(), std::string(kCRLF)}));
    }
    slist.Add(formatText(kCreateView, {quote(viewName)}));

    qryColumns.ParamByName("RELATION_NAME").setAsTrimString(viewName);
    qryColumns.ExecQuery();
    while (!qryColumns.Eof()) {
        std::string line = kViewColumnIndent + quote(qryColumns.FieldByName("RDB$FIELD_NAME").AsTrimString());
        qryColumns.Next();
        if (!qryColumns.Eof()) {
            line += kViewColumnSeparator;
        }
        slist.Add(line);
    }
    qryColumns.Close();

    appendResplit(slist, formatText(kViewColumnsEnd, {std::string(kCRLF)}));
    const auto source = qryViews.FieldByName("RDB$VIEW_SOURCE");
    if (!source.IsNull()) {
        appendResplit(slist, data::trim(source.AsString()));
    }
    appendResplit(slist, formatText(kViewEnd, {std::string(kSemicolon), std::string(kCRLF)}));
    return slist.items();
}

void TIBExtract::ListViews(const std::string& ObjectName) {
    const auto query = createQuery(ObjectName.empty() ? kAllViewsSQL : kViewSQL);
    if (!ObjectName.empty()) {
        query->ParamByName("ViewName").setAsTrimString(ObjectName);
    }
    const auto columns = createQuery(kViewColumnsSQL);
    query->ExecQuery();
    for (; !query->Eof(); query->Next()) {
        for (const std::string& line : ViewStatement(*query, *columns)) {
            m_metaData.Add(line);
        }
    }
}

std::vector<std::string> TIBExtract::TriggerStatement(TIBSQL& qryTriggers) const {
    const auto inactiveFlag = qryTriggers.FieldByName("RDB$TRIGGER_INACTIVE");
    // A null flag means active to the server, so it is written ACTIVE.
    const char* inActive = (!inactiveFlag.IsNull() && inactiveFlag.AsLong() == 1) ? kInactive : kActive;
    const bool sqlTrigger = qryTriggers.FieldByName("RDB$FLAGS").AsLong() == 1;

    TStringList slist;
    if (!sqlTrigger) {
        slist.Add(kCommentOpen);
    }
    const auto typeField = qryTriggers.FieldByName("RDB$TRIGGER_TYPE");
    const int64_t triggerType = typeField.IsNull() ? 0 : typeField.AsInt64();
    const auto phrase = triggerEventPhrase(triggerType);
    if (!phrase) {
        throw EExtractError(formatText(kUnknownTriggerType, {static_cast<long long>(triggerType)}));
    }
    const std::string triggerName = quote(qryTriggers.FieldByName("RDB$TRIGGER_NAME").AsTrimString());
    const auto sequence = static_cast<long long>(qryTriggers.FieldByName("RDB$TRIGGER_SEQUENCE").AsLong());
    const auto relation = qryTriggers.FieldByName("RDB$RELATION_NAME");
    if (relation.IsNull()) {
        // A database or DDL trigger: its event phrase stands where a table trigger names its table.
        slist.Add(formatText(kCreateTriggerWithoutRelation,
                             {triggerName, std::string(kCRLF), std::string(inActive), *phrase, sequence}));
    } else {
        slist.Add(formatText(kCreateTrigger, {triggerName, quote(relation.AsTrimString()), std::string(kCRLF),
                                              std::string(inActive), *phrase, sequence}));
    }
    const auto source = qryTriggers.FieldByName("RDB$TRIGGER_SOURCE");
    if (!source.IsNull()) {
        appendResplit(slist, source.AsTrimString());
    }
    slist.Add(IncludeSetTerm ? kTriggerEndSetTerm : kTriggerEnd);
    if (!sqlTrigger) {
        slist.Add(kCommentClose);
    }
    return slist.items();
}

void TIBExtract::ListTriggers(const std::string& ObjectName, TExtractType ExtractType) {
    requireMode(ExtractType, etTrigger);
    bool header = true;
    const auto list = [&](const char* sql) {
        const auto query = createQuery(sql);
        if (!ObjectName.empty()) {
            query->ParamByName("TriggerName").setAsTrimString(ObjectName);
        }
        query->ExecQuery();
        for (; !query->Eof(); query->Next()) {
            if (header) {
                if (IncludeSetTerm) {
                    m_metaData.Add(formatText(
                        kSetTerm, {std::string(kCaret), std::string(kSemicolon), std::string(kCRLF)}));
                }
                if (IncludeComments) {
                    m_metaData.Add(formatText(kTriggerHeader, {std::string(kCRLF), std::string(kCRLF)}));
                }
                header = false;
            }
            for (const std::string& line : TriggerStatement(*query)) {
                m_metaData.Add(line);
            }
        }
    };
    list(ObjectName.empty() ? kAllTriggersSQL : kTriggerSQL);
    // A name belongs to one trigger: the second query runs only when the first found nothing.
    if (ObjectName.empty() || header) {
        list(ObjectName.empty() ? kAllTriggersWithoutRelationSQL : kTriggerWithoutRelationSQL);
    }
    if (!header) {
        if (IncludeSetTerm) {
            m_metaData.Add(kCommitWorkSetTerm);
            m_metaData.Add(kSetTermBack);
        } else {
            m_metaData.Add(kCommitWork);
        }
    }
}

// ---- Indexes ----------------------------------------------------------------------------------

std::string TIBExtract::GetIndexSegments(const std::string& indexname) {
    const auto query = createQuery(kIndexSegmentsSQL);
    query->ParamByName("INDEXNAME").setAsTrimString(indexname);
    query->ExecQuery();
    std::string columns;
    for (; !query->Eof(); query->Next()) {
        if (!columns.empty()) {
            columns += kIndexSegmentSeparator;
        }
        columns += quote(query->FieldByName("RDB$FIELD_NAME").AsTrimString());
    }
    return columns;
}

std::string TIBExtract::GetIndexExpression(const std::string& indexname) {
    const auto query = createQuery(kIndexExpressionSQL);
    query->ParamByName("INDEXNAME").setAsTrimString(indexname);
    query->ExecQuery();
    if (query->Eof() || query->FieldByName("RDB$EXPRESSION_SOURCE").IsNull()) {
        return {};
    }
    const std::string source = data::trim(query->FieldByName("RDB$EXPRESSION_SOURCE").AsString());
    if (source.empty()) {
        return {};
    }
    // The server stores the expression with the parentheses it was written in; one stored without
    // them gets them here, since COMPUTED BY requires them.
    if (enclosedInParentheses(source)) {
        return source;
    }
    return kExpressionOpen + source + kExpressionClose;
}

void TIBExtract::ListIndex(const std::string& ObjectName, TExtractType ExtractType) {
    requireMode(ExtractType, etIndex);
    const auto query = createQuery(ObjectName.empty() ? kAllIndexesSQL : kIndexSQL);
    if (!ObjectName.empty()) {
        query->ParamByName("IndexName").setAsTrimString(ObjectName);
    }
    query->ExecQuery();
    bool first = true;
    for (; !query->Eof(); query->Next()) {
        if (first) {
            if (IncludeComments) {
                m_metaData.Add(ObjectName.empty() ? std::string(kAllIndexesHeader)
                                                  : kIndexHeaderStart + ObjectName + kIndexHeaderEnd);
            }
            first = false;
        }
        const std::string indexName = query->FieldByName("RDB$INDEX_NAME").AsTrimString();
        const std::string unique = query->FieldByName("RDB$UNIQUE_FLAG").AsLong() == 1 ? kUnique : "";
        const std::string idxType = query->FieldByName("RDB$INDEX_TYPE").AsLong() == 1 ? kDescending : "";
        const std::string tableName = quote(query->FieldByName("RDB$RELATION_NAME").AsTrimString());
        const std::string segments = GetIndexSegments(indexName);
        const std::string expression = segments.empty() ? GetIndexExpression(indexName) : std::string();
        std::string line;
        if (!expression.empty()) {
            line = formatText(kCreateExpressionIndex,
                              {unique, idxType, quote(indexName), tableName, expression});
        } else {
            line = formatText(kCreateIndex, {unique, idxType, quote(indexName), tableName});
            line += segments;
            line += kIndexColumnsEnd;
        }
        line += kStatementEnd;
        m_metaData.Add(line);
        if (query->FieldByName("RDB$INDEX_INACTIVE").AsLong() == 1) {
            m_metaData.Add(formatText(kAlterIndexInactive, {quote(indexName)}));
        }
    }
}

} // namespace vistrel::extract
