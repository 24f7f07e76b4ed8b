// 7-COMPARAR  INDICES: creates on the target the indexes of the source that the target lacks on
// the same table, from the extractor's DDL. Each index is protected: one that fails gets a line in
// the process log and the walk goes on. The window handles its pending events once per index.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "sync/runframe.h"

#include <exception>
#include <string>
#include <vector>

namespace vistrel::sync {

namespace {

constexpr char kIndexEnumeration[] =
    "SELECT RDB$INDEX_NAME, RDB$RELATION_NAME FROM RDB$INDICES WHERE SUBSTRING(RDB$INDEX_NAME FROM 1 FOR 3) "
    "<> 'RDB' AND SUBSTRING(RDB$INDEX_NAME FROM 1 FOR 5) <> 'CHECK'  ORDER BY RDB$RELATION_NAME ASC ";
constexpr char kIndexProbeHead[] = "SELECT RDB$INDEX_NAME FROM RDB$INDICES WHERE RDB$INDEX_NAME='";
constexpr char kIndexProbeMiddle[] = "' AND RDB$RELATION_NAME='";
constexpr char kIndexProbeTail[] = "' ";
constexpr char kIndexNotFound[] = "Index não encontrada; ";
constexpr char kIndexBanner[] = "-------------------------Inicio da Index--------------------------";
constexpr const char* kIndexHeaderHead = extract::kIndexHeaderHeadText;
constexpr const char* kIndexHeaderTail = extract::kIndexHeaderTailText;
constexpr char kIndexFailed[] = "Não foi possivel criar esse indice!";

// The index name trimmed at both ends and without any blank: the name given to the extractor.
std::string preparedName(const std::string& name) {
    std::string out;
    for (const char c : data::trim(name))
        if (c != ' ')
            out += c;
    return out;
}

} // namespace

void runIndexProcess(SyncComponents& components, ProcessView& view) {
    sameNameGuard(view);
    data::TIBDataSet& TABELAS = components.newSourceCursor();
    data::TIBDataSet& DESTINOTABELA = components.newTargetCursor();
    view.setDataSource1(&TABELAS);
    openWith(TABELAS, kIndexEnumeration);

    while (!TABELAS.Eof()) {
        const std::string name = TABELAS.FieldByName("RDB$INDEX_NAME").AsString();
        const std::string relation = TABELAS.FieldByName("RDB$RELATION_NAME").AsString();
        openWith(DESTINOTABELA, kIndexProbeHead + literalName(name) + kIndexProbeMiddle +
                                    literalName(relation) + kIndexProbeTail);
        if (DESTINOTABELA.Eof()) {
            try {
                view.appendProcessLog(kIndexNotFound + name);
                view.appendProcessLog(kIndexBanner);
                const std::string prepared = preparedName(name);
                components.IBExtract1().ExtractObject(extract::eoIndexes, prepared, extract::TExtractTypes{});
                std::string CONTEUDO = components.IBExtract1().Items().Text();
                CONTEUDO = removeText(CONTEUDO, kIndexHeaderHead + prepared + kIndexHeaderTail);
                view.appendProcessLog(CONTEUDO);
                data::TIBDataSet& DESTINOTABELAw = newStatementCursor(components, CONTEUDO);
                if (view.criarauto() && !CONTEUDO.empty()) {
                    for (const std::string& statement : indexStatements(CONTEUDO)) {
                        DESTINOTABELAw.SelectSQL().Clear();
                        DESTINOTABELAw.SelectSQL().Add(statement);
                        DESTINOTABELAw.ExecSQL();
                    }
                }
                // A commit refused here (a unique index over duplicate rows, for one) is this
                // index's failure like any other.
                if (!view.rapido())
                    components.targetReconnect();
            } catch (const std::exception&) {
                view.appendProcessLog(kIndexFailed);
            }
            view.appendProcessLog(kClosingBanner);
        }
        view.processEvents();
        TABELAS.Next();
    }
    view.showMessage(kProcessFinished);
}

} // namespace vistrel::sync
