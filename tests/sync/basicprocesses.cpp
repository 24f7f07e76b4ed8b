#include "tests/sync/basicprocesses.h"

#include "extract/ibextract.h"

#include <string>

namespace vistrel::test {

namespace {
constexpr char kFileName[] = "fatura.fdb";
} // namespace

DatabasePair::DatabasePair(std::string_view sourceSql, std::string_view targetSql, int targetDialect)
    : source("origem", kFileName, {.sql = std::string(sourceSql)}),
      target("destino", kFileName, {.sql = std::string(targetSql), .dialect = targetDialect}) {
    m_host.emplace(source, target);
    m_detaches.emplace(m_host->IBDatabase2());
}

DatabasePair::~DatabasePair() {
    closeHost();
}

void DatabasePair::reconnectTarget() {
    host().IBDatabase2().setConnected(false);
    host().IBDatabase2().setConnected(true);
}

std::string DatabasePair::extractFromSource(int objectType, const std::string& name) {
    extract::TIBExtract& extractor = host().IBExtract1();
    extractor.ExtractObject(static_cast<extract::TExtractObjectTypes>(objectType), name);
    return extractor.Items().Text();
}

std::string DatabasePair::extractFromTarget(int objectType, const std::string& name) {
    extract::TIBExtract extractor;
    extractor.setDatabase(&host().IBDatabase2());
    extractor.setTransaction(&host().IBTransaction2());
    extractor.ExtractObject(static_cast<extract::TExtractObjectTypes>(objectType), name);
    return extractor.Items().Text();
}

} // namespace vistrel::test
