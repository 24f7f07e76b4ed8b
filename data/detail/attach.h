#pragma once
// The one attach call of the data layer (internal).
#include "data/detail/fbclient.h"

#include <string>

namespace vistrel::data::detail {

// Attaches to databaseName with the parameter block dpb (version byte first), the connect
// timeout appended. A drive-letter name is refused without calling the client; an attach that
// fails after waiting the whole timeout raises the timeout message. Other failures raise the
// client's error. On success *handle holds the attachment.
void attachDatabase(const FbApi& api, const std::string& databaseName, std::string dpb,
                    isc_db_handle* handle);

} // namespace vistrel::data::detail
