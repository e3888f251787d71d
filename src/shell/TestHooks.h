#pragma once

// What end-to-end tests of the running app need to see that no user does, only when the
// environment asks for it (TINDLEWICK_TEST_HOOKS=1): a diagnostic line each time the
// highlighting engine starts, so a test can tell that code was shown without it, one with
// the message of each alert the shortcut recorder shows, where the settings window's tabs are
// and how much of the page shown is in view (each time it shows a tab), one each time the main
// thread did not get back to its event loop for more than 20 ms ("[TestHooks] Main thread
// stalled N ms (M ms of its own work)"), one with the entries of each menu shown ("[TestHooks]
// Menu: Pin | Delete"), one with the text and the buttons of each message box shown, one each
// time the panel shows its categories as tabs, one each time the app has caught up with the input a test
// sent it before a number it wrote to the root window ("[TestHooks] Input handled up to N", X11InputBarrier),
// and one with what the caches hold for the history's items each time the panel hides
// ("[TestHooks] Kept for items: N file answers, ...").
// With TINDLEWICK_TEST_HOLD_THREAD="link reader" or "content-type model" that service's thread is
// held for good from the start ("[TestHooks] Holding the link reader's thread" once it is).
// With TINDLEWICK_TEST_HELD_RESOURCE naming a resource file, every reading of that file holds its
// thread for good, as on a mount that stopped answering ("[TestHooks] Holding the reading of PATH"):
// a quit then has a thread to leave behind.
namespace TestHooks {

bool requested();
void install();

} // namespace TestHooks
