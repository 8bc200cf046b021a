#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the dialogs read numbers out of the texts the user typed.
namespace kv {

// The leading decimal number of a text, blanks, tabs and line feeds anywhere ignored: an
// optional sign, digits with an optional decimal point, an optional exponent. A text that
// does not begin with a number counts as 0 ("12abc" is 12, "abc" and "" are 0).
double leading_number(std::string_view text);

// The whole text (blanks around it allowed) is one number: an optional sign, digits with an
// optional decimal point, an optional exponent. Empty text is not a number.
std::optional<double> whole_number(std::string_view text);

// A number in its shortest decimal form: 6, 0.5, -40, 120.
std::string shortest_decimal(double value);

} // namespace kv
