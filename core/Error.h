#pragma once
// The library's one error type. Everything that fails inside the library raises
// it (or a std::exception); the action boundary turns its text into [LastError].
#include <stdexcept>
#include <string>

namespace kyt {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kyt
