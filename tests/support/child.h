// Runs a piece of code in a child process and captures what it writes to
// standard output and how it ends: the error handler ends the process, so
// illegal-argument reports can only be observed from outside.
#pragma once

#include <functional>
#include <string>

namespace qivtest {

struct ChildResult {
    std::string out;      // everything written to standard output
    bool exited = false;  // ended by exit() rather than a signal
    int status = -1;      // exit status when exited
};

ChildResult run_in_child(const std::function<void()>& body);

// The exact line the error handler writes for routine name and position.
std::string xerbla_line(const std::string& name, int pos);

}  // namespace qivtest

// Expects that body ends the process with status 0 after reporting illegal
// argument pos of routine name, and nothing else on standard output.
#define EXPECT_ILLEGAL(name, pos, body)                              \
    do {                                                             \
        const auto qiv_r_ = qivtest::run_in_child([&] { body; });    \
        EXPECT_TRUE(qiv_r_.exited) << "child did not exit normally"; \
        EXPECT_EQ(qiv_r_.status, 0);                                 \
        EXPECT_EQ(qiv_r_.out, qivtest::xerbla_line(name, pos));      \
    } while (0)
