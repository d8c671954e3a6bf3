#pragma once
// TTkytForm: the DCR window laid over a host rectangle object. The portable
// model keeps the object name, the frame and the host notifications; the
// system window behind it is an IWindowPeer of the platform.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "recognition/DCRFra.h"

namespace kyt {

class IWindowHost;
class TBackProp;

class TTkytForm final : public IDcrWindow {
 public:
  // Builds the window and attaches it over the host window `parent`
  // (a child covering its client area). Raises kyt::Error on failure.
  TTkytForm(const std::string& objectName, uint32_t parent, IWindowHost& host);
  ~TTkytForm() override;
  TTkytForm(const TTkytForm&) = delete;
  TTkytForm& operator=(const TTkytForm&) = delete;

  std::string ObjectName;
  TDCRFrame DCR;

  IWindowPeer& Peer() { return *peer_; }
  uint32_t ParentWindow() const { return parent_; }

  // Message 0x04FA: lParam the sub-code, wParam its argument. Result 0.
  intptr_t HostNotifyMessage(uintptr_t wParam, intptr_t lParam) override;
  // WM_GETDLGCODE: whatever the default answered, the window wants the arrow keys only.
  static intptr_t GetDlgCode(intptr_t defaultResult);
  intptr_t DialogCode(intptr_t defaultResult) const override { return GetDlgCode(defaultResult); }
  // The system window's client area changed size; the frame follows it.
  void ClientResized(int32_t width, int32_t height) override;

  const Bitmap& Picture() const override { return DCR.Picture; }
  const DcrWindowLook& Look() const override;
  int32_t ClientWidth() const override { return DCR.ClientWidth; }
  int32_t ClientHeight() const override { return DCR.ClientHeight; }

 private:
  void FormCreate();
  void FormDestroy();

  IWindowHost& host_;
  uint32_t parent_ = 0;
  std::unique_ptr<IWindowPeer> peer_;
};

// The network that recognition uses. Every window creation makes a new one and
// releases the previous; it stays valid while any DCR window exists and is
// released with the last one. Null while no window exists.
TBackProp* DcrNetwork();
int32_t DcrWindowCount();

}  // namespace kyt
