// The four conversions between numbers and the texts of the window's boxes,
// and the fault that ends a run.
#pragma once

#include "arithmetic_fault.h"        // IWYU pragma: export
#include "format_digit_mask.h"       // IWYU pragma: export
#include "number_to_signed_text.h"   // IWYU pragma: export
#include "parse_leading_number.h"    // IWYU pragma: export
#include "to_hex_text.h"             // IWYU pragma: export
