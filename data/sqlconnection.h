#pragma once
// The direct-execution connection: a connection of its own to the target, used to execute whole
// statement texts in explicitly started and committed transactions.
#include "data/strings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::data {

enum TTransIsolationLevel : uint8_t {
    xilREADCOMMITTED = 0,
    xilREPEATABLEREAD = 1,
    xilDIRTYREAD = 2,
    xilCUSTOM = 3,
};

struct TTransactionDesc {
    uint32_t TransactionID = 0;
    uint32_t GlobalID = 0;
    TTransIsolationLevel IsolationLevel = xilREADCOMMITTED;
    uint32_t CustomIsolation = 0;
};

class TSQLConnection {
public:
    TSQLConnection();
    ~TSQLConnection();
    TSQLConnection(const TSQLConnection&) = delete;
    TSQLConnection& operator=(const TSQLConnection&) = delete;

    bool Connected() const noexcept;
    void setConnected(bool value);

    const std::string& ConnectionName() const noexcept { return m_connectionName; }
    // Setting it closes an open connection.
    void setConnectionName(const std::string& name);
    std::string DriverName = "Firebird";
    bool LoginPrompt = false;
    bool KeepConnection = false;
    std::string VendorLib;
    std::string GetDriverFunc;
    TStringList& Params() noexcept { return m_params; }

    void StartTransaction(const TTransactionDesc& desc);
    int ExecuteDirect(const std::string& sql);
    void Commit(const TTransactionDesc& desc);

    int activeTransactionCount() const noexcept;
    // The user name, password and database the last connect resolved (for diagnostics/tests).
    std::string effectiveValue(const std::string& name) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_connectionName;
    TStringList m_params;
};

} // namespace vistrel::data
