#pragma once
// The host's callbacks as the portable core sees them. The glue in
// host/Exports.cpp implements this over the raw procedures the host hands over
// (host strings, calling convention, COM stream); tests implement it directly.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kyt {

class IHost {
 public:
  virtual ~IHost() = default;

  // HostAddAction: the type codes are `count` bytes (highest index count - 1, 0 when empty).
  virtual void AddAction(int32_t number, const std::string& name, const std::string& description,
                         const std::vector<uint8_t>& typeCodes, uint8_t count) = 0;

  virtual bool HasVariableAccess() const = 0;
  // HostGetVariable; an unanswered (null) variable reads as an empty text.
  virtual std::string GetVariable(const std::string& name) = 0;
  virtual void SetVariable(const std::string& name, const std::string& value) = 0;

  virtual bool HasInterfaceAccess() const = 0;
  // HostInterfaceAccess: `data` is the text handed in (nullopt = null pointer) and
  // on return the host's answer (nullopt = null). The answer is released by the glue.
  virtual bool InterfaceAccess(int32_t request, std::optional<std::string>& data) = 0;

  virtual bool HasStreamAccess() const = 0;
  // HostStreamAccess: false when the host has no such embedded file; on true
  // `content` holds the whole stream. A failure while copying raises kyt::Error.
  virtual bool StreamAccess(const std::string& name, std::vector<uint8_t>& content) = 0;
};

}  // namespace kyt
