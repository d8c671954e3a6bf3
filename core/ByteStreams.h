#pragma once
// Named byte streams kept by someone else (the host's embedded files): the
// engine reads a knowledge base through this without knowing who keeps it.
#include <cstdint>
#include <string>
#include <vector>

namespace kyt {

class IByteStreams {
 public:
  virtual ~IByteStreams() = default;
  // False when there is no stream of that name; on true `content` holds the
  // whole stream. Raises kyt::Error when the streams cannot be read at all.
  virtual bool Read(const std::string& name, std::vector<uint8_t>& content) = 0;
};

}  // namespace kyt
