// TTkytForm: building and attaching the DCR window, the host's notifications,
// and the shared network whose life follows the DCR windows.
#include "window/kytForm.h"

#include <optional>
#include <string>

#include "core/Error.h"
#include "core/NumberSyntax.h"
#include "platform/Platform.h"
#include "recognition/BackPropCls.h"
#include "window/DcrWindowLook.h"
#include "window/WindowHost.h"

namespace kyt {

namespace {

// The network's grid: 20 x 20 inputs, 50 hidden units, 20 x 20 outputs.
constexpr int32_t kGridRows = 20;
constexpr int32_t kGridCols = 20;
constexpr int32_t kHiddenUnits = 50;

constexpr intptr_t kSubCodeSizeUpdate = 4;
constexpr intptr_t kSubCodePaint = 5;
constexpr intptr_t kSubCodeQuery = 6;

constexpr int32_t kRequestObjectWindow = 7;

// Each window creation makes a new network that replaces (and releases) the
// previous one; the network is released when the last window goes. So it is
// valid while any window exists, and every network is released exactly once.
struct SharedNetwork {
  std::unique_ptr<TBackProp> network;
  int32_t windows = 0;
};

// Never destructed at exit, like the window list: windows still alive when the
// library is unloaded must not find it gone.
SharedNetwork& Shared() {
  static auto* shared = new SharedNetwork();
  return *shared;
}

}  // namespace

uint32_t QueryObjectWindow(IWindowHost& host, const std::string& name) {
  std::optional<std::string> data = name;
  host.InterfaceAccess(kRequestObjectWindow, data);
  if (!data) return 0;
  const int64_t value = TryParseInt64(*data).value_or(0);
  return uint32_t(uint64_t(value));
}

TBackProp* DcrNetwork() { return Shared().network.get(); }
int32_t DcrWindowCount() { return Shared().windows; }

TTkytForm::TTkytForm(const std::string& objectName, uint32_t parent, IWindowHost& host)
    : host_(host), parent_(parent) {
  bool created = false;
  try {
    FormCreate();
    created = true;
    ObjectName = objectName;
    peer_ = Platform().CreateDcrWindow(*this, parent);  // a visible child of the host object's window
    DCR.OnPictureChanged = [this] {
      if (peer_) peer_->PictureChanged();
    };
    Rect client;
    if (!Platform().GetClientRect(parent, client))
      throw Error("The window " + std::to_string(parent) + " of object " + objectName + " has no client area.");
    peer_->SetBounds(0, 0, client.Right - client.Left, client.Bottom - client.Top);
  } catch (...) {
    DCR.OnPictureChanged = nullptr;
    peer_.reset();
    if (created) FormDestroy();
    throw;
  }
}

TTkytForm::~TTkytForm() {
  DCR.OnPictureChanged = nullptr;
  FormDestroy();
  peer_.reset();
}

void TTkytForm::FormCreate() {
  Platform().UseHintWindowWithoutShadow();
  auto network = std::make_unique<TBackProp>(kGridRows, kGridCols, kGridRows, kGridCols, kHiddenUnits);
  DCR.ClientWidth = kDesignFrameWidth;
  DCR.ClientHeight = kDesignFrameHeight;
  DCR.SetUp();
  // Counted only once nothing can fail any more, so that a failed creation
  // leaves the count (and with it the network's lifetime) as it was.
  SharedNetwork& shared = Shared();
  shared.network = std::move(network);  // the previous network, if any, is released here
  ++shared.windows;
}

void TTkytForm::FormDestroy() {
  SharedNetwork& shared = Shared();
  if (shared.windows > 0) --shared.windows;
  if (shared.windows == 0) shared.network.reset();
}

void TTkytForm::ClientResized(int32_t width, int32_t height) {
  DCR.ClientWidth = width;
  DCR.ClientHeight = height;
}

const DcrWindowLook& TTkytForm::Look() const { return kDcrWindowLook; }

intptr_t TTkytForm::GetDlgCode(intptr_t /*defaultResult*/) { return kDlgcWantArrows; }

intptr_t TTkytForm::HostNotifyMessage(uintptr_t wParam, intptr_t lParam) {
  try {
    switch (lParam) {
      case kSubCodeSizeUpdate: {
        // Ask the host for the object's window again: it may have been rebuilt.
        const uint32_t window = QueryObjectWindow(host_, ObjectName);
        Rect client;
        // An object that no longer answers leaves the variables and the size as they are.
        if (window == 0 || !Platform().GetClientRect(window, client)) break;
        host_.SetVariable("[" + ObjectName + "_MaxX]", std::to_string(client.Right - 1));
        host_.SetVariable("[" + ObjectName + "_MaxY]", std::to_string(client.Bottom - 1));
        if (peer_) peer_->SetSize(client.Right, client.Bottom);
        break;
      }
      case kSubCodePaint:
        if (wParam != 0 && peer_) peer_->PaintTo(wParam);
        break;
      case kSubCodeQuery:
      default:
        break;
    }
  } catch (...) {
    // A window message handler reports nothing and lets nothing escape.
  }
  return 0;
}

}  // namespace kyt
