#pragma once
// The text of the exception of type E that `f` throws, or "(no exception)". Any other
// exception passes through, so a wrong type fails the test too.
#include <string>

template <class E, class F> std::string ThrownText(F &&f) {
  try {
    f();
  } catch (const E &e) {
    return e.what();
  }
  return "(no exception)";
}
