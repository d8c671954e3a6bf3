#pragma once
// The one catch-everything guard of the library's boundaries (entry points,
// actions, window messages, script-host exports). Whatever the body raises
// ends here: the guard returns `failed`, after handing the error's text to
// `report` when one is given. A report that fails itself is swallowed too.
#include <exception>
#include <utility>

namespace kyt {

// The text reported for something thrown that is not a std::exception.
inline constexpr const char kUnexpectedError[] = "An unexpected error occurred.";

template <typename Body, typename R, typename Report>
R Guard(Body&& body, R failed, Report&& report) noexcept {
  try {
    try {
      return std::forward<Body>(body)();
    } catch (const std::exception& e) {
      report(static_cast<const char*>(e.what()));
    } catch (...) {
      report(static_cast<const char*>(kUnexpectedError));
    }
  } catch (...) {
    // Even the report failed; the caller still gets its answer.
  }
  return failed;
}

template <typename Body, typename R>
R Guard(Body&& body, R failed) noexcept {
  return Guard(std::forward<Body>(body), failed, [](const char*) {});
}

}  // namespace kyt
