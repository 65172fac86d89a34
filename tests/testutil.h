// Helpers shared by the tests: a clean slate of global state and a scripted
// random source.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/state.h"

namespace testutil {

// The draws a test has scripted, handed out in order by scriptrand.
inline std::vector<int> draws;
inline std::size_t drawn;

inline int scriptrand() {
  if (drawn >= draws.size()) {
    ADD_FAILURE() << "more random draws than the test scripted (" << draws.size() << ")";
    return 0;
  }
  return draws[drawn++];
}

// From now on every draw comes from `values`, in order.
inline void script(std::initializer_list<int> values) {
  draws.assign(values);
  drawn = 0;
  rnd = scriptrand;
}

// All shared state back to what the program starts with.
inline void wipe() { zerostate(); }

}  // namespace testutil
