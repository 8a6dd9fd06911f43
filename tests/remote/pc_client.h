#pragma once
// The PC-control client of bench/pc_client.h, with every fault it meets (no
// reply, a reply that does not match its request) a test failure.

#include <gtest/gtest.h>

#include "bench/pc_client.h"

namespace pc {
inline const bool kFaultsFailTests = (faultReporter() = [](const std::string& fault) { ADD_FAILURE() << fault; }, true);
} // namespace pc
