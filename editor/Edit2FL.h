#pragma once
// TEditForm2FL: the properties of kytDcrLoadPicture, the object and the picture source.
#include "editor/EditorForm.h"

namespace kyt::editor {

const forms::Form& EditForm2FLLayout();
// The picture dialog's filter: every picture format the loader knows.
const std::string& PictureFilter();

class TEditForm2FL final : public TEditForm {
 public:
  explicit TEditForm2FL(IPickerHost* host);

 private:
  std::optional<forms::OpenFileRequest> FileDialog() const override;
};

}  // namespace kyt::editor
