#pragma once
// German texts of the transport result codes. Part of the unit ImpApiINet.
#include <cstdint>
#include <string>

// The fixed text of a transport code from -1015 to -1001, or an empty text for
// every other number (-1010 and -1012 included).
std::string TransportErrorText(int32_t Code);
