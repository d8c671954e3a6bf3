#include "Charsets.h"

#include "core/Error.h"

namespace kytdcr {

std::string NamedCharset(const std::string& name) {
  if (name == "latin") {
    return "etaoinshrdlcumwfgypbvkjxqz"
           ".,-'"
           "TAISHWCBMPNDRELGFOYJKUVQXZ"
           "0123456789"
           "?!:;()\"/%&+=*@#$[]_<>";
  }
  if (name == "russian") {
    return "оеаинтсрвлкмдпуяыьгзбчйхжшюцщэфъё"
           ".,-"
           "ОЕАИНТСРВЛКМДПУЯЫЬГЗБЧЙХЖШЮЦЩЭФЪЁ"
           "0123456789"
           "?!:;()\"«»—–№%"
           "іїєґІЇЄҐўЎјЈѕЅђЂѓЃљЉњЊќЌћЋџЏ";
  }
  throw kyt::Error("unknown character set '" + name + "' (known: latin, russian)");
}

std::string NamedAlikeGroups(const std::string& name) {
  if (name == "latin") return "oO cC sS vV wW xX zZ";
  if (name == "russian") {
    return "вВ гГ жЖ зЗ иИ йЙ кК лЛ мМ нН оО пП сС тТ хХ цЦ чЧ шШ щЩ ъЪ ыЫ ьЬ эЭ юЮ яЯ "
           "ѕЅ єЄ ґҐ їЇ ќЌ ѓЃ џЏ љЉ њЊ";
  }
  throw kyt::Error("unknown character set '" + name + "' (known: latin, russian)");
}

}  // namespace kytdcr
