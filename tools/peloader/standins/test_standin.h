// For tests: a stand-in as the module sees it, typed as the module's
// function type.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "tools/peloader/standins/standins.h"

namespace pe_test {

template <typename Fn>
Fn StandIn(const char* dll, const char* name) {
  void* address = pe::ResolveStandIn(dll, name);
  EXPECT_NE(address, nullptr) << dll << "!" << name;
  Fn function = nullptr;
  std::memcpy(&function, &address, sizeof address);
  return function;
}

}  // namespace pe_test
