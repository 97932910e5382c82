#include "Portal.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

// Just enough JSON for the control protocol's replies.
struct Json {
    std::string text; // strings, numbers and literals as written
    std::vector<Json> items;
    std::map<std::string, Json> fields;

    const Json &operator[](const std::string &name) const {
        auto it = fields.find(name);
        if (it == fields.end())
            throw std::runtime_error("portal reply lacks " + name);
        return it->second;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string &Text) : s_(Text) {}
    Json Value() {
        Skip();
        Json v;
        if (Eat('{')) {
            while (!Eat('}')) {
                Skip();
                Eat(',');
                Skip();
                std::string name = String();
                Skip();
                Expect(':');
                v.fields[name] = Value();
                Skip();
            }
        } else if (Eat('[')) {
            while (!Eat(']')) {
                Skip();
                Eat(',');
                v.items.push_back(Value());
                Skip();
            }
        } else if (pos_ < s_.size() && s_[pos_] == '"') {
            v.text = String();
        } else {
            while (pos_ < s_.size() && std::string_view(",]} ").find(s_[pos_]) == std::string_view::npos)
                v.text += s_[pos_++];
        }
        return v;
    }

private:
    void Skip() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool Eat(char c) {
        if (pos_ < s_.size() && s_[pos_] == c)
            return ++pos_, true;
        return false;
    }
    void Expect(char c) {
        if (!Eat(c))
            throw std::runtime_error(std::string("portal reply: expected ") + c);
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c == '\\') {
                c = s_.at(pos_++);
                switch (c) {
                case 'n': c = '\n'; break;
                case 'r': c = '\r'; break;
                case 't': c = '\t'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case 'u': // the portal sends latin-1 texts: one byte per code point
                    c = static_cast<char>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
                    pos_ += 4;
                    break;
                default: break;
                }
            }
            out += c;
        }
        Expect('"');
        return out;
    }
    const std::string &s_;
    std::size_t pos_ = 0;
};

std::string Quote(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Unhex(const std::string &hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string ResponseJson(const PortalResponse &r) {
    std::string json = "{\"status\":" + std::to_string(r.status) + ",\"headers\":[";
    for (std::size_t i = 0; i < r.headers.size(); ++i)
        json += (i ? ",[" : "[") + Quote(r.headers[i].first) + "," + Quote(r.headers[i].second) + "]";
    json += "],\"length\":" + Quote(r.length);
    if (r.bodyRepeat == 1)
        json += ",\"body_hex\":\"" + Hex(r.body) + "\"";
    else
        json += ",\"body_repeat\":[" + Quote(r.body) + "," + std::to_string(r.bodyRepeat) + "]";
    if (r.headDelay > 0)
        json += ",\"head_delay\":" + Number(r.headDelay);
    if (r.chunk > 0)
        json += ",\"chunk\":" + std::to_string(r.chunk);
    if (r.delay > 0)
        json += ",\"delay\":" + Number(r.delay);
    if (r.stallAfter)
        json += ",\"stall_after\":" + std::to_string(*r.stallAfter) + (r.stall > 0 ? ",\"stall\":" + Number(r.stall) : "");
    if (r.resetAfter)
        json += ",\"reset_after\":" + std::to_string(*r.resetAfter) + ",\"reset_delay\":" + Number(r.resetDelay);
    if (r.statusLine)
        json += ",\"status_line\":" + Quote(*r.statusLine);
    if (!r.handshake.empty())
        json += ",\"handshake\":" + Quote(r.handshake) + (r.stall > 0 ? ",\"stall\":" + Number(r.stall) : "");
    return json + "}";
}

} // namespace

std::optional<std::string> PortalRequest::Header(const std::string &Name) const {
    for (const auto &[name, value] : headers)
        if (_stricmp(name.c_str(), Name.c_str()) == 0)
            return value;
    return std::nullopt;
}

PortalServer::PortalServer(const std::string &Certificate) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char *control = std::getenv("IMPAPI_PORTAL");
    if (!started || !control || !std::strchr(control, ':'))
        throw std::runtime_error("no portal: run under tests/portal/portal.py run --");
    const std::string host(control, static_cast<const char *>(std::strchr(control, ':')));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(std::strchr(control, ':') + 1)));
    inet_pton(AF_INET, host.c_str(), &address.sin_addr);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot reach the portal at " + std::string(control));
    socket_ = s;
    address_ = JsonReader(Command("{\"op\":\"new\",\"certificate\":" + Quote(Certificate) + "}")).Value()["address"].text;
}

PortalServer::~PortalServer() { closesocket(static_cast<SOCKET>(socket_)); }

std::string PortalServer::Command(const std::string &Json) {
    const std::string line = Json + "\n";
    if (send(static_cast<SOCKET>(socket_), line.data(), static_cast<int>(line.size()), 0) != static_cast<int>(line.size()))
        throw std::runtime_error("portal: send failed");
    std::size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        char buffer[65536];
        const int n = recv(static_cast<SOCKET>(socket_), buffer, sizeof buffer, 0);
        if (n <= 0)
            throw std::runtime_error("portal: connection lost");
        pending_.append(buffer, n);
    }
    std::string reply = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (reply.find("\"ok\": true") == std::string::npos)
        throw std::runtime_error("portal: " + reply);
    return reply;
}

void PortalServer::Script(const std::vector<PortalResponse> &Responses) {
    std::string json = "{\"op\":\"script\",\"address\":" + Quote(address_) + ",\"responses\":[";
    for (std::size_t i = 0; i < Responses.size(); ++i)
        json += (i ? "," : "") + ResponseJson(Responses[i]);
    Command(json + "]}");
}

std::vector<PortalRequest> PortalServer::Requests(bool Clear) {
    const std::string reply = Command("{\"op\":\"requests\",\"address\":" + Quote(address_) +
                                      (Clear ? ",\"clear\":true}" : "}"));
    const Json parsed = JsonReader(reply).Value();
    std::vector<PortalRequest> requests;
    for (const Json &q : parsed["requests"].items) {
        PortalRequest request{q["scheme"].text, q["method"].text, q["path"].text, q["version"].text,
                              Unhex(q["body_hex"].text), {}};
        for (const Json &h : q["headers"].items)
            request.headers.emplace_back(h.items.at(0).text, h.items.at(1).text);
        requests.push_back(std::move(request));
    }
    return requests;
}
