// ParseLeadingNumber: the number at the start of a text box's text.
//
//   - Blanks, tabs and line feeds are removed first, wherever they stand:
//     "1 000" reads as 1000.
//   - Then the longest prefix of the form  [+-] digits [. digits] [(E|e) [+-]
//     digits]  is read, with at least one digit before the exponent (".5" and
//     "5." are numbers). An exponent letter without digits after it is not
//     part of the number ("2e" reads as 2). The rest of the text is ignored.
//   - "." is the only decimal separator, whatever the locale.
//   - Text without a number at its start (the empty text, "abc", "$5") gives 0.
//   - The value is the double nearest to the decimal number (round half to
//     even). A magnitude too small for a double gives a zero of the same sign;
//     a magnitude beyond the double range raises ArithmeticFault(kOverflow).
//   - Time is linear in the length of the text; nothing is allocated.
#pragma once

#include <string_view>

namespace synthfactors {

double ParseLeadingNumber(std::string_view text);

}  // namespace synthfactors
