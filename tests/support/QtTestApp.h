#pragma once
// The Qt application object and event-loop helpers shared by the network tests.
#include <functional>

// Creates the one QCoreApplication of the test process when there is none yet.
void EnsureQtApp();
// Runs the event loop (blocking while idle) until `done` holds or `limitMs` has passed;
// returns done(). The limit only keeps a broken component from hanging the suite.
bool RunEventsUntil(const std::function<bool()> &done, int limitMs = 15000);
