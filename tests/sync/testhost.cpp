#include "tests/sync/testhost.h"

namespace vistrel::test {

TestHost::TestHost(const ScratchDatabase& source, const ScratchDatabase& target)
    : xbancoValue(source.fileName()), xbanco2Value(target.fileName()) {
    m_components.setSourceLogin(source.connectionString(), source.user(), source.password());
    m_components.setTargetLogin(target.connectionString(), target.user(), target.password());
    IBDatabase1().setConnected(true);
    IBDatabase2().setConnected(true);
    m_components.connectDirectConnection(target.connectionString(), target.user(), target.password());
}

TestHost::~TestHost() {
    // Detach explicitly so that a refused commit cannot pass unnoticed in a test.
    IBDatabase2().setConnected(false);
    IBDatabase1().setConnected(false);
}

} // namespace vistrel::test
