// The import request's body: every field in its place, each value encoded as
// the portal reads it, the version's client version as the host gave it.
#include <gtest/gtest.h>

#include "core/RequestBody.h"

TEST(RequestBody, FieldsInOrderEachEncodedButTheVersion) {
    const struct {
        TRequestFields fields;
        std::string_view body;
    } cases[] = {
        {{.AdvisorNo = "", .UserLogin = "", .Password = "", .DepotNumber = "", .Token = "", .InterfaceVersion = "2.1.3",
          .Client = "", .ClientVersion = ""},
         "vermittlernummer=&benutzerkennung=&passwort=&depotnummer=&wiederaufsetzpunkt=&version=2.1.3,,"},
        {{.AdvisorNo = "47 11", .UserLogin = "m\xFCller", .Password = "a&b=c+d%e f", .DepotNumber = "0815",
          .Token = "T/1", .InterfaceVersion = "2.1.3", .Client = "VEKT Pro&x", .ClientVersion = "4.3 b"},
         "vermittlernummer=47%2011&benutzerkennung=m%FCller&passwort=a%26b%3Dc%2Bd%25e%20f&depotnummer=0815"
         "&wiederaufsetzpunkt=T%2F1&version=2.1.3,VEKT%20Pro%26x,4.3 b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::string_view(ComposeRequestBody(c.fields)), c.body);
}
