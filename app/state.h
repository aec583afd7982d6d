#pragma once

#include <string>

namespace voxquill {

// Process-wide state. Written during start-up only, except `finished`, which
// `finish` owns; everything after start-up reads it on the main queue.
extern bool live;
extern std::string localeId;
extern bool finished;

}  // namespace voxquill
