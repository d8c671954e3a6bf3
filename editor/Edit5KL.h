#pragma once
// TEditForm5KL: the properties of kytDcrLoadKnowledgebase, the object, the
// knowledge base (file or embedded) and the three recognition parameters.
#include "editor/EditorForm.h"

namespace kyt::editor {

const forms::Form& EditForm5KLLayout();
// The knowledge-base dialog's filter, set before each showing.
inline constexpr const char kKnowledgeBaseFilter[] = "DCR(*.dcr)|*.DCR";

class TEditForm5KL final : public TEditForm {
 public:
  explicit TEditForm5KL(IPickerHost* host);

 private:
  std::optional<forms::OpenFileRequest> FileDialog() const override;
};

}  // namespace kyt::editor
