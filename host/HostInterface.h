#pragma once
// The host's callbacks as the portable core sees them. The glue in
// host/Exports.cpp implements this over the raw procedures the host hands over
// (host strings, calling convention, COM stream); tests implement it directly.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "window/WindowHost.h"

namespace kyt {

class IHost : public IWindowHost {
 public:

  // HostAddAction: the type codes are `count` bytes (highest index count - 1, 0 when empty).
  virtual void AddAction(int32_t number, const std::string& name, const std::string& description,
                         const std::vector<uint8_t>& typeCodes, uint8_t count) = 0;

  // GetVariable, SetVariable and the interface requests: see IWindowHost.
  virtual bool HasVariableAccess() const = 0;

  virtual bool HasStreamAccess() const = 0;
  // HostStreamAccess: false when the host has no such embedded file; on true
  // `content` holds the whole stream. A failure while copying raises kyt::Error.
  virtual bool StreamAccess(const std::string& name, std::vector<uint8_t>& content) = 0;
};

}  // namespace kyt
