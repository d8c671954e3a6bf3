#pragma once
// TEditForm2RC: the properties of kytDcrRecognize, the object and the result variable.
#include "editor/EditorForm.h"

namespace kyt::editor {

const forms::Form& EditForm2RCLayout();

class TEditForm2RC final : public TEditForm {
 public:
  explicit TEditForm2RC(IPickerHost* host);
};

}  // namespace kyt::editor
