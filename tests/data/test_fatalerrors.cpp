// Which server errors end a run like a lost connection: a full disk and the other I/O errors, a
// corrupt database, a failed consistency check; a lock time-out, a refused statement or a
// duplicate name do not. Status vectors as the server sends them.
#include "data/detail/fbclient.h"
#include "data/errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel::data {
namespace {

struct StatusCase {
    const char* label;
    std::vector<ISC_STATUS> status;
    bool fatal;
    bool lost; // ends the run (a lost connection or a fatal error)
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.label;
}

const char kWrite[] = "write";
const char kFile[] = "/srv/db/fatura.fdb";
constexpr ISC_STATUS kNoSpace = 28; // ENOSPC

ISC_STATUS text(const char* s) {
    return reinterpret_cast<ISC_STATUS>(s);
}

class Classification : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Classification, FatalAndLostAsTheServerReportsThem) {
    const StatusCase& c = GetParam();
    EXPECT_EQ(detail::fatalServerError(c.status.data()), c.fatal);
    EXPECT_EQ(detail::connectionLost(c.status.data()), c.lost);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Classification,
    ::testing::Values(
        StatusCase{"disk full on a page write",
                   {isc_arg_gds, isc_io_error, isc_arg_string, text(kWrite), isc_arg_string, text(kFile),
                    isc_arg_gds, isc_io_write_err, isc_arg_unix, kNoSpace, isc_arg_end},
                   true,
                   true},
        StatusCase{"disk full under a metadata update",
                   {isc_arg_gds, isc_no_meta_update, isc_arg_gds, isc_io_error, isc_arg_string, text(kWrite),
                    isc_arg_string, text(kFile), isc_arg_gds, isc_io_write_err, isc_arg_unix, kNoSpace,
                    isc_arg_end},
                   true,
                   true},
        StatusCase{"corrupt database",
                   {isc_arg_gds, isc_db_corrupt, isc_arg_string, text(kFile), isc_arg_end},
                   true,
                   true},
        StatusCase{"consistency check",
                   {isc_arg_gds, isc_bug_check, isc_arg_string, text("decompression overran buffer (179)"),
                    isc_arg_end},
                   true,
                   true},
        StatusCase{"wrong page type", {isc_arg_gds, isc_page_type_err, isc_arg_end}, true, true},
        StatusCase{"shutdown in progress",
                   {isc_arg_gds, isc_shutinprog, isc_arg_string, text(kFile), isc_arg_end},
                   true,
                   true},
        StatusCase{"connection lost",
                   {isc_arg_gds, isc_network_error, isc_arg_gds, isc_net_read_err, isc_arg_end},
                   false,
                   true},
        StatusCase{"lock time-out on a table in use",
                   {isc_arg_gds, isc_lock_timeout, isc_arg_gds, isc_no_meta_update, isc_arg_gds,
                    isc_obj_in_use, isc_arg_string, text("TABLE \"CLIENTES\""), isc_arg_end},
                   false,
                   false},
        StatusCase{"name in use",
                   {isc_arg_gds, isc_no_meta_update, isc_arg_gds, isc_no_dup, isc_arg_string,
                    text("CLIENTES"), isc_arg_end},
                   false,
                   false},
        StatusCase{
            "syntax error", {isc_arg_gds, isc_sqlerr, isc_arg_number, -104, isc_arg_end}, false, false}),
    [](const ::testing::TestParamInfo<StatusCase>& p) {
        std::string name;
        for (const char* c = p.param.label; *c != '\0'; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(FatalError, IsRaisedAsALostConnectionWithItsOwnMessageAndTheServersReason) {
    const std::string report = "I/O error during \"write\" operation for file \"/srv/db/fatura.fdb\"\r\n"
                               "Error while trying to write to file\r\nNo space left on device";
    const detail::StatusError fatal{report, -902, isc_io_error, true};
    try {
        std::rethrow_exception(detail::connectionLostError(fatal, "srv:/srv/db/fatura.fdb"));
    } catch (const EIBFatalServerError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Atenção \r O banco srv:/srv/db/fatura.fdb informou um erro grave e o processo foi "
                  "interrompido; verifique o servidor e clique em Conectar!\r\n" +
                      report);
        EXPECT_EQ(error.serverMessage(), report);
        EXPECT_EQ(error.IBErrorCode(), isc_io_error);
    } catch (...) {
        ADD_FAILURE() << "not raised as EIBFatalServerError";
    }
    // A lost connection keeps its own message and is no fatal error.
    const detail::StatusError lost{"Error reading data from the connection.", -902, isc_net_read_err, false};
    try {
        std::rethrow_exception(detail::connectionLostError(lost, "srv:/db.fdb"));
    } catch (const EIBFatalServerError&) {
        ADD_FAILURE() << "a lost connection raised as a fatal error";
    } catch (const EIBConnectionLost& error) {
        EXPECT_EQ(error.serverMessage(), "Error reading data from the connection.");
        EXPECT_NE(std::string(error.what()).find("foi perdida"), std::string::npos);
    }
}

} // namespace
} // namespace vistrel::data
