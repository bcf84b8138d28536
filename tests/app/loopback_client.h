// A client for the tests of the capture run: posts a form to a listener on
// 127.0.0.1, as a browser would.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace postori::test_client {

inline std::string post_request(std::string_view body) {
    return "POST /form HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

// Connects to `port` on the loopback address, sends `request` whole and
// closes; false when any of that fails.
inline bool send_to_loopback(int port, std::string_view request) {
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    if (client < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    bool sent = ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    std::size_t done = 0;
    while (sent && done < request.size()) {
        const ssize_t n = ::send(client, request.data() + done, request.size() - done, MSG_NOSIGNAL);
        sent = n > 0;
        done += sent ? static_cast<std::size_t>(n) : 0;
    }
    ::close(client);
    return sent;
}

// A port on the loopback address that was free a moment ago, for a listener
// whose port the test has to choose itself.
inline int free_loopback_port() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(probe);
    return port;
}

}  // namespace postori::test_client
