#pragma once
// What the window model and the picture loader need of the host: its
// variables and its interface requests. The host layer's IHost is one.
#include <cstdint>
#include <optional>
#include <string>

namespace kyt {

class IWindowHost {
 public:
  virtual ~IWindowHost() = default;

  // HostGetVariable; an unanswered (null) variable reads as an empty text.
  virtual std::string GetVariable(const std::string& name) = 0;
  virtual void SetVariable(const std::string& name, const std::string& value) = 0;

  virtual bool HasInterfaceAccess() const = 0;
  // HostInterfaceAccess: `data` is the text handed in (nullopt = null pointer) and
  // on return the host's answer (nullopt = null). The answer is released by the glue.
  virtual bool InterfaceAccess(int32_t request, std::optional<std::string>& data) = 0;
};

// The window handle of the host object `name`; 0 when the host knows no such object.
uint32_t QueryObjectWindow(IWindowHost& host, const std::string& name);

}  // namespace kyt
