#include "Charsets.h"

#include "core/Error.h"

namespace kytdcr {

namespace {

// Punctuation and symbols both sets share: printable ASCII and the
// punctuation of code page 1251, most frequent first.
const char* const kSymbols =
    "?!:;()\"/%&+=*@#$[]<>\\|~_^{}`"
    "\u00AB\u00BB\u201E\u201C\u201D\u2018\u2019\u2013\u2014\u2026\u2116";

}  // namespace

std::string NamedCharset(const std::string& name) {
  if (name == "latin") {
    return std::string("etaoinshrdlcumwfgypbvkjxqz"
                       ".,-'"
                       "TAISHWCBMPNDRELGFOYJKUVQXZ"
                       "0123456789") +
           kSymbols;
  }
  if (name == "russian") {
    return std::string("\u043E\u0435\u0430\u0438\u043D\u0442\u0441\u0440\u0432\u043B\u043A\u043C\u0434"
                       "\u043F\u0443\u044F\u044B\u044C\u0433\u0437\u0431\u0447\u0439\u0445\u0436\u0448"
                       "\u044E\u0446\u0449\u044D\u0444\u044A\u0451"
                       ".,-'"
                       "\u041E\u0415\u0410\u0418\u041D\u0422\u0421\u0420\u0412\u041B\u041A\u041C\u0414"
                       "\u041F\u0423\u042F\u042B\u042C\u0413\u0417\u0411\u0427\u0419\u0425\u0416\u0428"
                       "\u042E\u0426\u0429\u042D\u0424\u042A\u0401"
                       "0123456789") +
           kSymbols;
  }
  throw kyt::Error("unknown character set '" + name + "' (known: latin, russian)");
}

std::string NamedAlikeGroups(const std::string& name) {
  // A right single quote is a raised comma; l, I and | are all one bar.
  if (name == "latin") return "oO cC sS uU vV wW xX zZ lI| ,\u2019";
  if (name == "russian") {
    // Once normalisation has taken size away, д is Д, and з is З and the
    // digit 3; the page reader gives back capitals by height and 3 within
    // numbers.
    return "\u0432\u0412 \u0433\u0413 \u0434\u0414 \u0436\u0416 \u0437\u0417" "3 \u0438\u0418 "
           "\u0439\u0419 \u043A\u041A \u043B\u041B \u043C\u041C \u043D\u041D \u043E\u041E "
           "\u043F\u041F \u0440\u0420 \u0441\u0421 \u0442\u0422 \u0443\u0423 \u0444\u0424 "
           "\u0445\u0425 \u0446\u0426 \u0447\u0427 \u0448\u0428 \u0449\u0429 \u044A\u042A "
           "\u044B\u042B \u044C\u042C \u044D\u042D \u044E\u042E \u044F\u042F ,\u2019";
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
