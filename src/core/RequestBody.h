#pragma once
// The form body of the import run's request, composed without Windows types.
#include <string_view>

#include "core/Texts.h"

// What the request carries; the views stay valid while the body is composed.
struct TRequestFields {
    std::string_view AdvisorNo, UserLogin, Password, DepotNumber, Token;
    // The field "version": the interface version, the host program and its version.
    std::string_view InterfaceVersion, Client, ClientVersion;
};

// name=value pairs joined by "&", in the order the portal reads them; every
// value passes through the form encoding but the version's, whose client
// name alone is encoded. The body holds the password: it is a wiping string.
WipingString ComposeRequestBody(const TRequestFields &Fields);
