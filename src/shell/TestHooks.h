#pragma once

class AppSettings;
class UnixSignalWatcher;
class UserDefaults;

// What end-to-end tests of the running app need to see and to do that no user does, only
// when the environment asks for it (TINDLEWICK_TEST_HOOKS=1): a diagnostic line each time
// the highlighting engine starts, and SIGUSR1 to apply the code theme written into the
// user defaults file behind the app's back, as the settings window would set it.
namespace TestHooks {

bool requested();
void install(UnixSignalWatcher &signals, UserDefaults &defaults, AppSettings &settings);

} // namespace TestHooks
