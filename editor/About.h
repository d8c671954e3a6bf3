#pragma once
// TAboutBoxForm: the plug-in's icon and name, its home page, and its commands.
#include "editor/EditorForm.h"

namespace kyt::editor {

const forms::Form& AboutBoxLayout();
// The maker's web page, shown by Label2 and opened by a click on it.
inline constexpr const char kHomePage[] = "https://kytdcr.example.org/";
inline constexpr uint32_t kLinkColor = forms::Rgb(0, 0, 255);
inline constexpr uint32_t kLinkHotColor = forms::Rgb(255, 0, 0);

class TAboutBoxForm final : public TEditorForm {
 public:
  TAboutBoxForm();
  void Click(IFormWindow& window, std::string_view control) override;
  void MouseMove(IFormWindow& window, std::string_view control) override;
};

}  // namespace kyt::editor
