#pragma once
// German texts of the transport result codes. Part of the unit ImpApiINet.
#include <cstdint>
#include <string>

// The fixed text of a transport code of the result code table, or an empty
// text for every other number.
std::string TransportErrorText(int32_t Code);
