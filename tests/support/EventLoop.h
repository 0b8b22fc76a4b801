#pragma once
// The event loop for tests of the event-driven components.
#include <functional>

// Makes sure a QCoreApplication exists (gtest_main does not create one).
void EnsureCoreApp();
// Blocks in the event loop until Done holds; gives up after LimitMs so that a broken
// component cannot hang the suite. Returns Done().
bool RunUntil(const std::function<bool()> &Done, int LimitMs = 10000);
// Runs the event loop for about Ms milliseconds.
void RunFor(int Ms);
