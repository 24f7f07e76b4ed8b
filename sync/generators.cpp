// 1-CRIAR GENERATOR: creates on the target every generator of the source that the target lacks.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "sync/runframe.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

namespace vistrel::sync {

namespace {

constexpr char kGeneratorEnumeration[] = "SELECT * FROM RDB$GENERATORS";
constexpr char kGeneratorProbeHead[] = "SELECT * FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME='";
constexpr char kGeneratorProbeTail[] = "' ";
constexpr char kGeneratorCreated[] = "Generator Criado; ";
constexpr char kCreateGenerator[] = "CREATE GENERATOR ";

// The name without the blanks that pad the system table's column (blanks only: a quoted name may
// end in other characters the server keeps).
std::string withoutPadding(const std::string& name) {
    const size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// The name as CREATE GENERATOR carries it: as read when the server takes it unquoted (or when the
// target's dialect has no quoted identifiers), otherwise quoted so that the target gets the same
// name (lower case, blanks and other characters kept).
std::string generatorNameInStatement(const std::string& name, int dialect) {
    const std::string bare = withoutPadding(name);
    if (dialect < 3 || isOrdinaryName(bare))
        return name;
    return extract::TIBExtract::QuoteIdentifier(3, bare);
}

} // namespace

void runGeneratorProcess(SyncComponents& components, ProcessView& view) {
    sameNameGuard(view);
    data::TIBDataSet& TABELAS = components.newSourceCursor();
    data::TIBDataSet& DESTINOTABELA = components.newTargetCursor();
    openWith(TABELAS, kGeneratorEnumeration);

    data::TIBQuery& CAMPOS2 = components.CAMPOS2();
    // The statement is DDL: its text goes to the server without the parameter scan.
    CAMPOS2.ParamCheck = false;

    while (!TABELAS.Eof()) {
        const std::string name = TABELAS.FieldByName("RDB$GENERATOR_NAME").AsString();
        openWith(DESTINOTABELA, kGeneratorProbeHead + literalName(name) + kGeneratorProbeTail);
        if (DESTINOTABELA.Eof()) {
            view.appendProcessLog(kGeneratorCreated + name);
            CAMPOS2.SQL().Clear();
            CAMPOS2.SQL().SetText(kCreateGenerator +
                                  generatorNameInStatement(name, components.IBDatabase2().SQLDialect()) +
                                  " ");
            if (view.criarauto())
                CAMPOS2.ExecSQL();
        }
        TABELAS.Next();
    }
    view.showMessage(kProcessConcluded);
}

} // namespace vistrel::sync
