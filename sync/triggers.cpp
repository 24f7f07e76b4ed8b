// 6-COMPARAR TRIGGERS: creates on the target the triggers of the source that the target lacks on
// the same table, from the extractor's DDL. Each trigger is protected: one that fails is reported in
// the error log and the walk goes on.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "sync/runframe.h"

#include <exception>
#include <string>

namespace vistrel::sync {

namespace {

constexpr char kTriggerEnumeration[] =
    "SELECT  RDB$RELATION_NAME, RDB$TRIGGER_NAME FROM RDB$TRIGGERS WHERE SUBSTRING(RDB$TRIGGER_NAME FROM 1 "
    "FOR 3) <> 'RDB' AND SUBSTRING(RDB$TRIGGER_NAME FROM 1 FOR 5) <> 'CHECK'  ";
constexpr char kTriggerProbeHead[] = "SELECT RDB$TRIGGER_BLR, RDB$TRIGGER_SOURCE, RDB$RELATION_NAME FROM "
                                     "RDB$TRIGGERS WHERE RDB$TRIGGER_NAME='";
constexpr char kTriggerProbeMiddle[] = "' AND RDB$RELATION_NAME='";
constexpr char kTriggerProbeTail[] = "' ";
constexpr char kTriggerNotFound[] = "Trigger não encontrada; ";
constexpr char kTriggerBanner[] = "-------------------------Inicio da Triiger--------------------------";
constexpr const char* kTriggerHeader = extract::kTriggerHeaderText;
constexpr const char* kCommitWork = extract::kCommitWorkText;
constexpr char kTriggerFailed[] = "Não foi possivel criar a trigger: ";

} // namespace

void runTriggerProcess(SyncComponents& components, ProcessView& view) {
    sameNameGuard(view);
    data::TIBDataSet& TABELAS = components.newSourceCursor();
    data::TIBDataSet& DESTINOTABELA = components.newTargetCursor();
    view.setDataSource1(&TABELAS);
    openWith(TABELAS, kTriggerEnumeration);

    while (!TABELAS.Eof()) {
        const std::string relation = TABELAS.FieldByName("RDB$RELATION_NAME").AsString();
        const std::string name = TABELAS.FieldByName("RDB$TRIGGER_NAME").AsString();
        openWith(DESTINOTABELA, kTriggerProbeHead + literalName(name) + kTriggerProbeMiddle +
                                    literalName(relation) + kTriggerProbeTail);
        if (DESTINOTABELA.Eof()) {
            try {
                view.appendProcessLog(kTriggerNotFound + name);
                view.appendProcessLog(kTriggerBanner);
                components.IBExtract1().ExtractObject(extract::eoTrigger, name, extract::TExtractTypes{});
                std::string CONTEUDO = components.IBExtract1().Items().Text();
                CONTEUDO = removeText(CONTEUDO, kTriggerHeader);
                CONTEUDO = createOrAlter(CONTEUDO);
                CONTEUDO = removeText(CONTEUDO, kCommitWork);
                view.appendProcessLog(CONTEUDO);
                data::TIBDataSet& DESTINOTABELAw = newStatementCursor(components, CONTEUDO);
                if (view.criarauto())
                    DESTINOTABELAw.ExecSQL();
                // A commit refused here is this trigger's failure like any other.
                if (!view.rapido())
                    components.targetReconnect();
            } catch (const std::exception&) {
                view.appendErrorLog(kTriggerFailed + name);
            }
            view.appendProcessLog(kClosingBanner);
        }
        TABELAS.Next();
    }
    view.showMessage(kProcessFinished);
}

} // namespace vistrel::sync
