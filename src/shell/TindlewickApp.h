#pragma once

// The program: checks that it can reach an X display, starts the Qt application on the
// shared store and runs the event loop until the app quits.
namespace TindlewickApp {
int run(int argc, char **argv);
}
