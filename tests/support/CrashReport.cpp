#include "support/CrashReport.h"

#include <gtest/gtest.h>

#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

void writeText(const char *text)
{
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    static_cast<void>(ignored);
}

void reportAndDie(int signalNumber)
{
    writeText("\n*** fatal signal ");
    writeText(strsignal(signalNumber));
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    if (test != nullptr) {
        writeText(" in ");
        writeText(test->test_suite_name());
        writeText(".");
        writeText(test->name());
    } else {
        writeText(" between tests");
    }
    writeText("; stack (addr2line -Cfe <binary> <offset>):\n");
    void *frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
    // SA_RESETHAND has put the default action back: raising again ends the process with this
    // signal's own status and core.
    ::raise(signalNumber);
}

} // namespace

void CrashReport::install()
{
    // A stack overflow leaves no stack for the handler: give it one of its own.
    static char alternateStack[64 * 1024];
    stack_t stack {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    for (const int signalNumber : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT }) {
        struct sigaction current
        {
        };
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction report
        {
        };
        report.sa_handler = reportAndDie;
        report.sa_flags = SA_RESETHAND | SA_ONSTACK;
        sigemptyset(&report.sa_mask);
        sigaction(signalNumber, &report, nullptr);
    }
}
