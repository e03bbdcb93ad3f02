// The decimal symbol of the user's locale, as LC_ALL / LC_NUMERIC / LANG
// choose it; "." when the locale is unset, "C" or not installed.
#pragma once

#include <string>

namespace synthfactors::cli {

// Leaves the program's C locale at "C", so that nothing else follows it.
std::string DecimalSymbolFromEnvironment();

}  // namespace synthfactors::cli
