// 2-CRIAR EXCEPTION and 3-COMPARAR DOMAINS: create on the target the exceptions and domains of
// the source that the target lacks, from the extractor's DDL.
#include "data/ibdatabase.h"
#include "data/ibdataset.h"
#include "data/strings.h"
#include "extract/ibextract.h"
#include "sync/processes.h"
#include "sync/runframe.h"

#include <memory>
#include <string>

namespace vistrel::sync {

namespace {

constexpr char kExceptionEnumeration[] = "SELECT RDB$EXCEPTION_NAME FROM RDB$EXCEPTIONS  ";
constexpr char kExceptionProbeHead[] =
    "SELECT RDB$EXCEPTION_NAME FROM RDB$EXCEPTIONS WHERE RDB$EXCEPTION_NAME='";
constexpr char kExceptionProbeTail[] = "'  ";
constexpr char kExceptionNotFound[] = "Exception não encontrada; ";
constexpr char kExceptionBanner[] = "-------------------------Inicio da Exceptions--------------------------";
constexpr const char* kExceptionHeader = extract::kExceptionHeaderText;

constexpr char kDomainEnumerationLine1[] = "SELECT RDB$FIELD_NAME FROM RDB$FIELDS  ";
constexpr char kDomainEnumerationLine2[] =
    " WHERE RDB$FIELD_NAME <> 'PK_ACESSO' AND (SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'RDB$' AND "
    "SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'MON$') AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> "
    "'RDB$' AND SUBSTRING(RDB$FIELD_NAME FROM 1 FOR 4) <> 'SEC$'";
constexpr char kDomainProbeHead[] = "SELECT RDB$FIELD_NAME FROM RDB$FIELDS WHERE RDB$FIELD_NAME='";
constexpr char kDomainProbeTail[] = "'  ";
constexpr char kDomainNotFound[] = "Domain não encontrado; ";
constexpr char kDomainBanner[] = "-------------------------Inicio Domains--------------------------";
constexpr const char* kDomainHeader = extract::kDomainHeaderText;

} // namespace

void runExceptionProcess(SyncComponents& components, ProcessView& view) {
    sameNameGuard(view);
    data::TIBDataSet& TABELAS = components.newSourceCursor();
    data::TIBDataSet& DESTINOTABELA = components.newTargetCursor();
    view.setDataSource1(&TABELAS);
    openWith(TABELAS, kExceptionEnumeration);

    while (!TABELAS.Eof()) {
        const std::string name = TABELAS.FieldByName("RDB$EXCEPTION_NAME").AsString();
        openWith(DESTINOTABELA, kExceptionProbeHead + literalName(name) + kExceptionProbeTail);
        if (DESTINOTABELA.Eof()) {
            view.appendProcessLog(kExceptionNotFound + name);
            view.appendProcessLog(kExceptionBanner);
            components.IBExtract1().ExtractObject(extract::eoException, name, extract::TExtractTypes{});
            std::string CONTEUDO = components.IBExtract1().Items().Text();
            CONTEUDO = removeText(CONTEUDO, kExceptionHeader);
            CONTEUDO = createOrAlter(CONTEUDO);
            view.appendProcessLog(CONTEUDO);
            data::TIBDataSet& DESTINOTABELAw = newStatementCursor(components, " " + CONTEUDO + " ");
            if (view.criarauto())
                DESTINOTABELAw.ExecSQL();
            // The reconnect commits what was executed; a refused commit leaves as an error and ends
            // the run.
            if (!view.rapido())
                components.targetReconnect();
            view.appendProcessLog(kClosingBanner);
        }
        TABELAS.Next();
    }
    view.showMessage(kProcessConcluded);
}

void runDomainProcess(SyncComponents& components, ProcessView& view) {
    sameNameGuard(view);
    data::TIBDataSet& TABELAS = components.newSourceCursor();
    data::TIBDataSet& DESTINOTABELA = components.newTargetCursor();
    view.setDataSource1(&TABELAS);
    TABELAS.SelectSQL().Clear();
    TABELAS.SelectSQL().Add(kDomainEnumerationLine1);
    TABELAS.SelectSQL().Add(kDomainEnumerationLine2);
    TABELAS.Open();

    while (!TABELAS.Eof()) {
        const std::string name = TABELAS.FieldByName("RDB$FIELD_NAME").AsString();
        const std::string trimmed = data::trim(name);
        openWith(DESTINOTABELA, kDomainProbeHead + literalName(trimmed) + kDomainProbeTail);
        if (DESTINOTABELA.Eof()) {
            view.appendProcessLog(kDomainNotFound + trimmed);
            view.appendProcessLog(kDomainBanner);
            // The extractor takes the name as read; it disregards the trailing blanks.
            components.IBExtract1().ExtractObject(extract::eoDomain, name, extract::TExtractTypes{});
            std::string CONTEUDO = components.IBExtract1().Items().Text();
            CONTEUDO = removeText(CONTEUDO, kDomainHeader);
            view.appendProcessLog(CONTEUDO);
            {
                // Released right after its execution, unlike the run's other cursors.
                auto DESTINOTABELAw = std::make_unique<data::TIBDataSet>();
                DESTINOTABELAw->setDatabase(&components.IBDatabase2());
                DESTINOTABELAw->ParamCheck = false;
                DESTINOTABELAw->SelectSQL().Clear();
                DESTINOTABELAw->SelectSQL().Add(" " + CONTEUDO + " ");
                if (view.criarauto()) {
                    DESTINOTABELAw->ExecSQL();
                    components.targetReconnect();
                }
            }
            view.appendProcessLog(kClosingBanner);
        }
        TABELAS.Next();
    }
    view.showMessage(kProcessConcluded);
}

} // namespace vistrel::sync
