#include "core/RequestBody.h"

#include "core/FormValue.h"

WipingString ComposeRequestBody(const TRequestFields &f) {
    WipingString version;
    version.append(f.InterfaceVersion).append(",");
    AppendFormValue(version, f.Client, false);
    version.append(",").append(f.ClientVersion);
    const struct {
        const char *name;
        std::string_view value;
        bool encoded;
    } fields[] = {{"vermittlernummer", f.AdvisorNo, true}, {"benutzerkennung", f.UserLogin, true},
                  {"passwort", f.Password, true},          {"depotnummer", f.DepotNumber, true},
                  {"wiederaufsetzpunkt", f.Token, true},   {"version", version, false}};
    WipingString body;
    for (const auto &field : fields) {
        if (!body.empty())
            body += '&';
        body.append(field.name).append("=");
        if (field.encoded)
            AppendFormValue(body, field.value, false);
        else
            body.append(field.value);
    }
    return body;
}
