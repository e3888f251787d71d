#pragma once

// What end-to-end tests of the running app need to see that no user does, only when the
// environment asks for it (TINDLEWICK_TEST_HOOKS=1): a diagnostic line each time the
// highlighting engine starts, so a test can tell that code was shown without it, and one
// with the message of each alert the shortcut recorder shows.
namespace TestHooks {

bool requested();
void install();

} // namespace TestHooks
