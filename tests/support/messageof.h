#pragma once
// The text of the error a piece of test code raises, for comparing it with what the user reads.
#include <string>

namespace vistrel::test {

// The message of the exception of type E that f throws, or "<no error>".
template <typename E, typename F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<no error>";
}

} // namespace vistrel::test
