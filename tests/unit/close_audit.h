#pragma once

namespace voxquill::testing {

// How many times anything in the test program, the libraries it links
// included, has closed a descriptor that was not open. In a program with
// threads such a close can hit a descriptor another thread has just opened.
int closesOfNoDescriptor();

}  // namespace voxquill::testing
