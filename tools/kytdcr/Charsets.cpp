#include "Charsets.h"

#include "core/Error.h"

namespace kytdcr {

std::string NamedCharset(const std::string& name) {
  if (name == "latin") {
    return "etaoinshrdlcumwfgypbvkjxqz"
           ".,-'"
           "TAISHWCBMPNDRELGFOYJKUVQXZ"
           "0123456789"
           "?!:;()\"/%&+=*@#$";
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

std::string NamedPairs(const std::string& name) {
  if (name == "latin") {
    return "th he in er an re on at en nd ti es or te of ed is it al ar st to nt ng se ha as ou io le ve co "
           "me de hi ri ro ic ne ea ra ce li ch ll be ma si om ur rr rn rm ry rt ft ff fi fl tt";
  }
  if (name == "russian") {
    return "ст но то на ен ов ни ра во ко ог ер ро по ре ал ли ол пр ет от ан ла ор те ос ел ва ка да не ри "
           "ом ль ит ат ки ть ти ес ры ты гр тр";
  }
  throw kyt::Error("unknown character set '" + name + "' (known: latin, russian)");
}

}  // namespace kytdcr
