// The entry points that show the editor's forms: editing an action's
// parameters and the About box. They catch everything, as every entry point.
#include <optional>
#include <string>

#include "core/Guard.h"
#include "editor/ActionEditor.h"
#include "host/HostInterface.h"
#include "host/kytDCR.h"

namespace kyt::plugin {

namespace {

// The editor's pickers go to the host's interface access.
class PickerHost final : public editor::IPickerHost {
 public:
  explicit PickerHost(IHost* host) : host_(host) {}
  bool HasInterfaceAccess() const override { return host_ && host_->HasInterfaceAccess(); }
  bool InterfaceAccess(int32_t request, std::optional<std::string>& data) override {
    return host_ && host_->InterfaceAccess(request, data);
  }

 private:
  IHost* host_;
};

}  // namespace

bool EditAction(int32_t action, char** params, int32_t highIndex) {
  return Guard([&] {
    PickerHost pickers(Host());
    return kyt::EditAction(action, params, highIndex, &pickers);
  }, false);
}

void About() {
  Guard([] {
    ShowAbout();
    return 0;
  }, 0);
}

}  // namespace kyt::plugin
