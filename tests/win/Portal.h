#pragma once
// A server of the loopback test portal (tests/portal/portal.py), driven from a
// Windows test program through the control address that `portal.py run`
// passes in the environment variable IMPAPI_PORTAL.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using PortalHeaders = std::vector<std::pair<std::string, std::string>>;

// One scripted answer; see portal.py for the meaning of each field.
struct PortalResponse {
    int status = 200;
    PortalHeaders headers;
    std::string body;
    std::size_t bodyRepeat = 1;  // the body is sent this many times over (large answers)
    std::string length = "auto"; // "auto", "none", or the Content-Length value to send
    double headDelay = 0;        // seconds before the status line
    std::size_t chunk = 0;       // bytes per write, 0: all at once
    double delay = 0;            // seconds between writes
    std::optional<std::size_t> stallAfter; // stop sending after this many body bytes...
    double stall = 0;                      // ...for this long (0: until the server closes)
    std::optional<std::size_t> resetAfter; // reset the connection after this many body bytes...
    double resetDelay = 0;                 // ...and this many seconds
    std::optional<std::string> statusLine; // sent in place of the status line
    std::string handshake; // HTTPS: "close" or "stall" the handshake of the next connection
};

inline PortalResponse PortalAnswer(std::string Body, int Status = 200) {
    PortalResponse r;
    r.status = Status;
    r.body = std::move(Body);
    return r;
}

struct PortalRequest {
    std::string scheme, method, path, version, body;
    PortalHeaders headers;
    // The value of the first header of that name (case-insensitive), if any.
    std::optional<std::string> Header(const std::string &Name) const;
};

class PortalServer {
public:
    // A new server on its own address; throws without a portal. Certificate
    // (self-signed): "self-signed" or "expired" for another host name,
    // "own-name" or "own-name-expired" naming the server's address.
    explicit PortalServer(const std::string &Certificate = "self-signed");
    ~PortalServer(); // the server closes with its control connection
    PortalServer(const PortalServer &) = delete;
    PortalServer &operator=(const PortalServer &) = delete;

    const std::string &Address() const { return address_; }
    // The next requests get these answers in order; the last one repeats.
    void Script(const std::vector<PortalResponse> &Responses);
    void Script(const PortalResponse &Response) { Script(std::vector<PortalResponse>{Response}); }
    // Every request received so far; Clear: and forget them (long runs).
    std::vector<PortalRequest> Requests(bool Clear = false);

private:
    std::string Command(const std::string &Json);
    std::uintptr_t socket_;
    std::string address_, pending_;
};
