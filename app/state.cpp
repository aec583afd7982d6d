#include "app/state.h"

namespace voxquill {

bool live = false;
std::string localeId;
bool finished = false;

}  // namespace voxquill
