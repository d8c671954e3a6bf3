#include "platform/Forms.h"

#include "core/Error.h"

namespace kyt::forms {

const Control* FindControl(const Form& form, std::string_view name) {
  for (const Control& c : form.Controls)
    if (name == c.Name) return &c;
  return nullptr;
}

int32_t IndexOf(const Form& form, std::string_view name) {
  for (size_t i = 0; i < form.Controls.size(); ++i)
    if (name == form.Controls[i].Name) return int32_t(i);
  return -1;
}

void FormTexts::Reset(const Form& form) {
  Caption = form.Caption;
  Names.clear();
  Controls.clear();
  for (const Control& c : form.Controls) {
    Names.emplace_back(c.Name);
    Controls.emplace_back(c.Text);
  }
}

std::string& FormTexts::operator[](std::string_view control) {
  // The texts follow the table they were reset from; an unknown name is a
  // fault of the form's own code.
  for (size_t i = 0; i < Names.size(); ++i)
    if (Names[i] == control) return Controls[i];
  throw Error("The form has no control " + std::string(control) + ".");
}

const std::string& FormTexts::operator[](std::string_view control) const {
  return const_cast<FormTexts&>(*this)[control];
}

}  // namespace kyt::forms
