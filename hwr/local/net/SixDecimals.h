// The weights a network uses are its stored floats printed with "%f" (six decimals) and read
// back as floats. SixDecimalRoundTrip gives that float directly, without making the text.
#pragma once

namespace v7 {

// The float that reading back the " %f" text of v gives. Exact for every finite float; callers
// handle non-finite values themselves (their text does not read back as a float).
float SixDecimalRoundTrip(float v);

// The same through real text: snprintf("%f") then strtof. The reference the fast path is tested
// and measured against.
float SixDecimalRoundTripThroughText(float v);

}  // namespace v7
