#pragma once
// Modal forms laid out declaratively: a table of controls with parent,
// position, size, texts, font and tab order, which a platform realises as
// real windows (Win32) or as controls kept and painted in memory (headless).
// The form's own code reacts to clicks and mouse moves and reads and writes
// the controls through the live window.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kyt::forms {

// Colours are 0x00BBGGRR; a value with the top bit set is a system colour
// whose low byte is the system colour index.
constexpr uint32_t kSystemColor = 0x80000000u;
constexpr uint32_t kColorWindow = kSystemColor | 5;
constexpr uint32_t kColorWindowText = kSystemColor | 8;
constexpr uint32_t kColorBtnFace = kSystemColor | 15;
constexpr uint32_t kColorBtnShadow = kSystemColor | 16;
constexpr uint32_t kColorBtnText = kSystemColor | 18;
constexpr uint32_t kColorBtnHighlight = kSystemColor | 20;
constexpr uint32_t kColorInfoBk = kSystemColor | 24;
// Not a colour: the control takes its parent's colour.
constexpr uint32_t kParentColor = 0x1FFFFFFFu;
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

enum class ControlKind : uint8_t {
  Button,       // push button
  Edit,         // single-line edit field
  Memo,         // multi-line edit field
  Label,        // text
  Image,        // picture
  Panel,        // TNeoBookPanel
  HelpBox,      // TNeoBookHelpBox2
  GlyphButton,  // TNeoBookButton
};

// The pictures that forms show; the platform knows their pixels.
enum class PictureId : uint8_t { None, ChooseObject, InsertVariable, ChooseFile, ChooseEmbedded, Hint, Icon };

// A font; an empty name takes the parent's font, a colour of kParentColor the parent's colour.
struct FontSpec {
  const char* Name = nullptr;
  int16_t Height = 0;  // character height in pixels
  uint32_t Color = kParentColor;
};

enum Flag : uint32_t {
  kDefaultButton = 1u << 0,  // Enter presses it
  kCancelButton = 1u << 1,   // Esc presses it
  kReadOnly = 1u << 2,
  kNoBorder = 1u << 3,
  kVerticalScroll = 1u << 4,
  kWordWrap = 1u << 5,
  kTransparent = 1u << 6,    // draws over its parent's background
  kCenter = 1u << 7,         // text or picture centred both ways
  kFlat = 1u << 8,
  kShowHint = 1u << 9,
  kNotifyMouse = 1u << 10,   // the form hears mouse moves and clicks over it
  kNoTabStop = 1u << 11,
};

struct Control {
  const char* Name;
  ControlKind Kind;
  const char* Parent = nullptr;  // null: the form
  int16_t Left = 0, Top = 0, Width = 0, Height = 0;
  const char* Text = "";  // caption or content, code page 1251
  const char* Hint = "";
  int8_t TabOrder = 0;    // order among the controls of the same parent
  FontSpec Font{};
  uint32_t Color = kParentColor;
  PictureId Picture = PictureId::None;
  uint32_t Flags = 0;
  int8_t ModalResult = 0;  // buttons: closes the form with this result
};

struct Form {
  const char* Name;
  const char* Caption;
  int16_t ClientWidth, ClientHeight;
  FontSpec Font;
  uint32_t Color;
  std::span<const Control> Controls;
  // Mouse moves over the form's own background reach its code.
  bool NotifyMouse = false;
};

constexpr int32_t kModalNone = 0;
constexpr int32_t kModalOk = 1;
constexpr int32_t kModalCancel = 2;

enum class Cursor : uint8_t { Default, HandPoint };

// A file-open dialog: the filter is in the form "Description|pattern|...".
struct OpenFileRequest {
  std::string Filter;
  bool Pictures = false;  // a picture dialog
};

// The realised form while it is shown.
class IFormWindow {
 public:
  virtual ~IFormWindow() = default;
  virtual std::string Text(std::string_view control) const = 0;
  virtual void SetText(std::string_view control, const std::string& text) = 0;
  // Characters before the caret or selection, and the selection's length.
  virtual void Selection(std::string_view control, int32_t& start, int32_t& length) const = 0;
  virtual void SetFontColor(std::string_view control, uint32_t color) = 0;
  virtual void SetCursor(std::string_view control, Cursor cursor) = 0;
  // Brings the form's window to the top of the window order.
  virtual void BringToTop() = 0;
  // The chosen file's full path; nullopt when the author cancelled.
  virtual std::optional<std::string> OpenFile(const OpenFileRequest& request) = 0;
  // Opens a document or web address with the shell's "open" verb.
  virtual void ShellOpen(const std::string& address) = 0;
};

// What a form's own code hears. `control` is empty for the form itself.
class IFormEvents {
 public:
  virtual ~IFormEvents() = default;
  virtual void Activated(IFormWindow& window, bool active) = 0;
  virtual void Click(IFormWindow& window, std::string_view control) = 0;
  virtual void MouseMove(IFormWindow& window, std::string_view control) = 0;
};

// A form's texts before it is shown and after it closed, in table order.
struct FormTexts {
  std::string Caption;
  std::vector<std::string> Names;
  std::vector<std::string> Controls;
  void Reset(const Form& form);
  // Raises kyt::Error for a name the form does not have.
  std::string& operator[](std::string_view control);
  const std::string& operator[](std::string_view control) const;
};

const Control* FindControl(const Form& form, std::string_view name);
int32_t IndexOf(const Form& form, std::string_view name);

}  // namespace kyt::forms
