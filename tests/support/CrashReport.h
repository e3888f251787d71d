#pragma once

// A crash in a shuffled, repeated run may not come back with the same seed. So that one crash
// in CI is enough to start from, a fatal signal prints the test that was running and the stack
// before the process dies as it would have (and dumps core where that is on).
namespace CrashReport {

// Installs the report for the fatal signals nobody handles yet (a sanitizer's own report,
// installed before main, is left alone).
void install();

} // namespace CrashReport
