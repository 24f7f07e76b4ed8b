#include "data/errors.h"

#include "data/attach.h"

#include <string>

namespace vistrel::data {

const char* clientErrorText(ClientError code) {
    switch (code) {
    case ClientError::LibraryNotFound:
        return "InterBase library %s not found in the path. Please install InterBase to use this "
               "functionality";
    case ClientError::UnknownServerType:
        return "%s is not a registered server type";
    case ClientError::ServerTypeActive:
        return "ServerType can not be changed on an active connection";
    case ClientError::DatabaseNameMissing:
        return "Database name is missing";
    case ClientError::DatabaseOpen:
        return "Cannot perform operation -- DB is currently open";
    case ClientError::DatabaseClosed:
        return "Cannot perform operation -- DB is not open";
    case ClientError::DPBConstantUnknown:
        return "DPB Constant (%s) is unknown";
    case ClientError::TransactionActive:
        return "Transaction is active";
    case ClientError::TransactionNotActive:
        return "Transaction is not active";
    case ClientError::NoDatabasesInTransaction:
        return "No databases are listed in transaction component";
    case ClientError::DatabaseNotAssigned:
        return "Database not assigned";
    case ClientError::TransactionNotAssigned:
        return "Transaction not assigned";
    case ClientError::EmptyQuery:
        return "Empty query";
    case ClientError::EmptySQLStatement:
        return "Empty SQL Statement";
    case ClientError::DatasetOpen:
        return "Dataset open";
    case ClientError::NoSelectForExec:
        return "use Open for a Select Statement";
    case ClientError::SQLParseError:
        return "SQL Parse Error:\r\n\r\n%s";
    case ClientError::FieldNotFound:
        return "Field \"%s\" not found";
    case ClientError::StringTooLarge:
        return "Trying to store a string of length %d into a field that can only contain %d";
    case ClientError::InvalidDataConversion:
        return "Invalid data conversion";
    case ClientError::SQLOpen:
        return "IBSQL Open";
    case ClientError::NotPermitted:
        return "Not permitted";
    case ClientError::DPBValueTooLong:
        return "DPB value of (%s) is longer than 255 bytes";
    case ClientError::StatementNotPrepared:
        return "Statement not prepared";
    case ClientError::TPBConstantUnknown:
        return "TPB Constant (%s) is unknown";
    case ClientError::DriveLetterName:
        return kDriveLetterNameMessage;
    case ClientError::ConnectTimeout:
        return kConnectTimeoutMessage;
    }
    return "Unknown error";
}

void raiseClientErrorText(ClientError code, const std::string& text) {
    throw EIBClientError(code, text);
}

void raiseClientError(ClientError code, const std::string& arg) {
    std::string text = clientErrorText(code);
    auto pos = text.find("%s");
    if (pos != std::string::npos)
        text.replace(pos, 2, arg);
    throw EIBClientError(code, text);
}

} // namespace vistrel::data
