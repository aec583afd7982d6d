#pragma once

#include <string>
#include <utility>

// How the program's functions report failure; no exception crosses them.
//
// - A function that can fail returns false, or an empty pointer, and sets its
//   last parameter, `std::string& error`, to the one line the user is to see.
//   On success it leaves `error` as it was.
// - The line is made of the program's words (messages.h). When the failure is
//   about the recording or pipe the user named, it is "PATH: reason", the
//   path as given; a failure of the engine or of the machine is the reason
//   alone. A function below the one that knows the path gives the reason
//   alone, and that one puts the path in front.
// - Finding nothing is not failing: a lookup that may find nothing (a model
//   for a locale) returns an empty optional, and sets no error. So do the
//   pure functions whose only way to fail is input they cannot represent
//   (a JSON object of text that is not UTF-8, a command line with no
//   argument): their callers know what that means.
// - The wrappers of system calls (platform/system) return false, or an empty
//   descriptor, and leave errno as the call set it: their callers word it.
// - Results reach the main queue through the recognizer's result handler, an
//   error or a result; after start-up every failure ends the run through
//   `finish` with its line.

namespace voxquill {

// Sets the reason and returns false, for `return fail(error, ...);`.
inline bool fail(std::string& error, std::string reason) {
    error = std::move(reason);
    return false;
}

}  // namespace voxquill
