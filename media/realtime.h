#pragma once

// Asks that the calling thread be scheduled in real time, at a low
// real-time priority, so that busy programs beside the player do not starve
// the sound: first directly (allowed where the user's limits grant real-time
// priority), else through RealtimeKit on the system bus, as sound servers'
// clients do. Returns whether it was granted; playback works the same
// without it.
namespace realtime {

bool requestForThisThread(int priority = 5);

} // namespace realtime
