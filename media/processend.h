#pragma once

// The end of a process that has played sound.
//
// Qt 6.4's PulseAudio engine is a static object of the Qt Multimedia
// library. Its destructor, run after main() returns, disconnects from the
// sound server without holding the lock of the engine's event thread, which
// may still be handling the server's answers to the last output closed.
// libpulse then aborts or crashes the finished program now and then (about
// one exit in a hundred right after an output was closed).
namespace processend {

// Ends the process with status once everything of the program's own has
// been destroyed: flushes the standard streams and exits without running
// static destructors, so the engine's racy teardown never runs. The system
// closes the connection to the sound server.
[[noreturn]] void endWithoutStaticTeardown(int status);

} // namespace processend
