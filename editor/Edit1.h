#pragma once
// TEditForm1: the properties of kytDcrCreate and kytDcrRemove, the object field.
#include "editor/EditorForm.h"

namespace kyt::editor {

const forms::Form& EditForm1Layout();

class TEditForm1 final : public TEditForm {
 public:
  explicit TEditForm1(IPickerHost* host);
};

}  // namespace kyt::editor
