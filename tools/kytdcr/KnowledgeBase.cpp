#include "KnowledgeBase.h"

#include <cstdlib>
#include <filesystem>

#include "core/Error.h"

#ifndef KYTDCR_SOURCE_KB_DIR
#define KYTDCR_SOURCE_KB_DIR "data/kb"
#endif

namespace kytdcr {
namespace fs = std::filesystem;

std::string BundledKnowledgeBaseFolder() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path installed = self.parent_path().parent_path() / "share" / "kytdcr" / "kb";
    if (fs::is_directory(installed, ec)) return installed.string();
  }
  return KYTDCR_SOURCE_KB_DIR;
}

std::string ResolveKnowledgeBase(const std::optional<std::string>& option) {
  std::error_code ec;
  if (option) {
    if (fs::exists(*option, ec) || option->find('/') != std::string::npos) return *option;
    fs::path bundled = fs::path(BundledKnowledgeBaseFolder()) / (*option + ".dcr");
    if (fs::exists(bundled, ec)) return bundled.string();
    return *option;  // let the load report the missing file under its own name
  }
  if (const char* env = std::getenv("KYTDCR_KB"); env != nullptr && *env != '\0') return env;
  return (fs::path(BundledKnowledgeBaseFolder()) / "latin.dcr").string();
}

std::unique_ptr<kyt::TBackProp> LoadKnowledgeBase(const std::string& fileName, kyt::KnowledgeBaseParts parts) {
  std::unique_ptr<kyt::TBackProp> network;
  try {
    network = std::make_unique<kyt::TBackProp>(fileName, parts);
  } catch (const std::exception& e) {
    throw kyt::Error("cannot load knowledge base " + fileName + ": " + e.what());
  }
  if (network->InputRows <= 0 || network->InputCols <= 0 || network->InputCount != network->InputRows * network->InputCols ||
      network->OutputCount <= 0 || network->HiddenCount <= 0) {
    throw kyt::Error("knowledge base " + fileName + " has no usable network dimensions");
  }
  return network;
}

}  // namespace kytdcr
