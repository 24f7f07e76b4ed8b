// Fuzz target: the parameter scan of statement texts. Any input either scans or raises the
// client's parse error; a scanned text never grows and keeps everything outside markers.
#include "data/errors.h"
#include "data/ibsql.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    try {
        vistrel::data::ScannedSQL s = vistrel::data::scanParameters(sql);
        if (s.text.size() > sql.size())
            std::abort();
        size_t markers = 0;
        for (char c : s.text)
            markers += c == '?';
        if (markers < s.names.size())
            std::abort();
        if (s.names.empty() && s.text != sql)
            std::abort();
    } catch (const vistrel::data::EIBClientError& e) {
        if (e.code() != vistrel::data::ClientError::SQLParseError)
            std::abort();
    }
    return 0;
}
