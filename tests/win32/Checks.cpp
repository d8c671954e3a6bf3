#include "tests/win32/Checks.h"

#include <cstdio>

namespace kyt::testhost {

namespace {
int g_passed = 0;
int g_failed = 0;
}  // namespace

bool Check(const std::string& name, bool ok, const std::string& detail) {
  if (ok) {
    ++g_passed;
    std::printf("PASS %s\n", name.c_str());
  } else {
    ++g_failed;
    std::printf("FAIL %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

int Summary() {
  std::printf("win32: %d passed, %d failed\n", g_passed, g_failed);
  std::fflush(stdout);
  return g_failed == 0 && g_passed > 0 ? 0 : 1;
}

std::string Shown(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += char(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace kyt::testhost
