#pragma once
// The platform without a screen: Linux builds, the shared library for script
// hosts, and the tests. Windows, painting, message boxes and dialogs are kept
// in memory so that callers can inspect them.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/headless/HeadlessForm.h"

namespace kyt {

class HeadlessWindowPeer;

class HeadlessPlatform : public IPlatform {
 public:
  HeadlessPlatform();
  ~HeadlessPlatform() override;

  void SetCursor(int32_t cursor) override;
  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;
  char* AllocHostString(size_t bytes) override;
  void FreeHostString(char* text) override;
  std::string ModulePath() override;
  bool FileExists(const std::string& path) override;
  std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                               const std::string& key) override;
  bool GetClientRect(uint32_t window, Rect& rect) override;
  std::unique_ptr<IWindowPeer> CreateDcrWindow(IDcrWindow& window, uint32_t parent) override;
  void UseHintWindowWithoutShadow() override;
  bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) override;
  int32_t ShowModalForm(const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events) override;

  // --- What a headless host or a test sets up and inspects. ---

  // Foreign windows (host objects) and their client sizes.
  void DefineWindow(uint32_t handle, int32_t width, int32_t height);
  void RemoveWindow(uint32_t handle);
  // Overrides the module path (the default is the path of the loaded library or program).
  void SetModulePath(const std::string& path) { modulePath_ = path; }

  // The live DCR windows' peers, in creation order.
  const std::vector<HeadlessWindowPeer*>& Peers() const { return peers_; }
  HeadlessWindowPeer* PeerOf(uint32_t parent) const;

  std::vector<std::string> Messages;        // message boxes shown
  std::vector<int32_t> CursorHistory;       // every cursor set
  int32_t Cursor = kCursorDefault;
  int64_t LiveHostStrings = 0;              // allocated and not yet freed
  int64_t ProcessMessagesCalls = 0;
  bool HintWithoutShadow = false;
  // Works every form shown, as the author would; a form it leaves open is
  // closed with the close box (modal result Cancel). Without a driver every
  // form is closed at once.
  std::function<void(HeadlessForm&)> FormDriver;
  struct ShownForm {
    std::string Name;              // the form's class, TEditForm1 ...
    forms::FormTexts Texts;        // as filled before showing
  };
  std::vector<ShownForm> Forms;    // every form shown
  // The file dialogs' requests and the path the author picks (nullopt: cancel).
  std::vector<forms::OpenFileRequest> FileDialogs;
  std::optional<std::string> FileDialogAnswer;
  std::vector<std::string> ShellOpened;  // addresses opened with the shell

 private:
  friend class HeadlessWindowPeer;
  std::map<uint32_t, Rect> windows_;
  std::vector<HeadlessWindowPeer*> peers_;
  std::string modulePath_;
  uint32_t nextHandle_ = 0x10000;
};

// A DCR window kept in memory. Painting draws into a kyt::Bitmap whose address
// is the device-context value.
class HeadlessWindowPeer : public IWindowPeer {
 public:
  HeadlessWindowPeer(HeadlessPlatform& platform, IDcrWindow& window, uint32_t parent, uint32_t handle);
  ~HeadlessWindowPeer() override;

  void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) override;
  void SetSize(int32_t width, int32_t height) override;
  Rect Bounds() const override { return bounds_; }
  bool Visible() const override { return visible_; }
  void PaintTo(uintptr_t dc) override;
  void PictureChanged() override { ++pictureChanges_; }
  uintptr_t Handle() const override { return handle_; }

  uint32_t Parent() const { return parent_; }
  IDcrWindow& Window() { return window_; }
  int32_t PictureChanges() const { return pictureChanges_; }
  bool TopOfZOrder() const { return topmost_; }

 private:
  HeadlessPlatform& platform_;
  IDcrWindow& window_;
  uint32_t parent_;
  uint32_t handle_;
  Rect bounds_;
  bool visible_ = false;
  bool topmost_ = false;
  int32_t pictureChanges_ = 0;
};

// Renders a DCR window's look (title panel and the picture below it, unscaled)
// into a bitmap of the window's size.
void PaintDcrWindow(const IDcrWindow& window, Bitmap& target);

}  // namespace kyt
