#pragma once
// Pass/fail reporting of the Windows test host: one line per check and a
// closing summary line.
#include <string>

namespace kyt::testhost {

// Records and prints one check; returns `ok`.
bool Check(const std::string& name, bool ok, const std::string& detail = std::string());
// Prints "N passed, M failed" and returns the process exit code.
int Summary();
// A byte string shown with its non-printable and non-ASCII bytes escaped.
std::string Shown(const std::string& bytes);

}  // namespace kyt::testhost
