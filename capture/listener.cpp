// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "capture/eviction.h"
#include "capture/form_reader.h"

namespace postori {
namespace {

// How long poll waits when no eventfd could be made for cancelling: the flag
// is then looked at this often.
constexpr int CANCEL_POLL_MS = 50;

constexpr int LISTEN_BACKLOG = 1;

// Most bytes one recv() asks for.
constexpr std::size_t RECEIVE_CHUNK = 256 * 1024;

void close_socket(int fd) {
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

// One accepted connection and what has been received on it.
struct Connection {
    int fd = -1;
    // The request as received: grows with what arrives, up to
    // RECEIVE_BUFFER_SIZE - 1 bytes, so an idle connection costs no buffer.
    // A multipart body is not kept here: it streams through `multipart`.
    std::string buffer;
    std::int32_t received = 0;
    bool head_parsed = false;
    RequestHead head;
    // The reader of a multipart "POST" body, once its head is in.
    std::unique_ptr<MultipartReader> multipart;
    // Bytes of the body streamed through `multipart`.
    std::uint64_t body_received = 0;
};

// What a receive did to a connection.
enum class Progress {
    Waiting,  // more bytes are due
    Ended,    // complete, closed by the peer, failed or full
};

// Whether the bytes received last (with the three before them) hold a blank
// line. A head can only complete when one arrives, and what was received
// before never changes, so the head is parsed again only then: a head dripped
// byte by byte costs one pass, not one pass per byte.
bool blank_line_arrived(const char* buffer, std::size_t before, std::int32_t received) {
    const std::size_t from = before >= 3 ? before - 3 : 0;
    const std::string_view fresh(buffer + from, static_cast<std::size_t>(received) - from);
    return fresh.find("\r\n\r\n") != std::string_view::npos;
}

// Whether a streamed multipart body is all in: its announced length has
// arrived, or (without one) its closing delimiter.
bool multipart_complete(const Connection& connection) {
    const std::int32_t announced = connection.head.content_length;
    if (connection.multipart->closed()) {
        return true;
    }
    return announced > 0 && connection.body_received >= static_cast<std::uint64_t>(announced);
}

// A multipart "POST" whose head is in: its body streams through a reader
// from now on, starting with what came with the head, and only the head
// stays in the buffer.
void start_streaming(Connection& connection) {
    connection.multipart = std::make_unique<MultipartReader>(connection.head.content_type.boundary);
    const auto head_length = static_cast<std::size_t>(connection.head.head_length);
    const std::string_view body = std::string_view(connection.buffer).substr(head_length);
    connection.multipart->feed(body);
    connection.body_received = body.size();
    connection.buffer.resize(head_length);
    connection.buffer.shrink_to_fit();
}

Progress receive_streamed(Connection& connection, std::span<char> scratch) {
    const ssize_t got = ::recv(connection.fd, scratch.data(), scratch.size(), 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return Progress::Waiting;
    }
    if (got <= 0) {
        return Progress::Ended;
    }
    connection.multipart->feed({scratch.data(), static_cast<std::size_t>(got)});
    connection.body_received += static_cast<std::uint64_t>(got);
    return multipart_complete(connection) ? Progress::Ended : Progress::Waiting;
}

Progress receive(Connection& connection, std::span<char> scratch) {
    if (connection.multipart) {
        return receive_streamed(connection, scratch);
    }
    const auto room = RECEIVE_BUFFER_SIZE - 1 - static_cast<std::size_t>(connection.received);
    if (room == 0) {
        return Progress::Ended;
    }
    const ssize_t got = ::recv(connection.fd, scratch.data(), std::min(room, scratch.size()), 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return Progress::Waiting;
    }
    if (got <= 0) {
        return Progress::Ended;
    }
    const std::size_t before = static_cast<std::size_t>(connection.received);
    connection.buffer.append(scratch.data(), static_cast<std::size_t>(got));
    connection.received += static_cast<std::int32_t>(got);
    if (!connection.head_parsed && blank_line_arrived(connection.buffer.data(), before, connection.received)) {
        connection.head_parsed =
            parse_request_head(connection.buffer.c_str(), connection.received, connection.head) != 0;
        if (connection.head_parsed && connection.head.method == RequestMethod::Post &&
            body_kind(connection.head.content_type) == BodyKind::Multipart) {
            start_streaming(connection);
            return multipart_complete(connection) ? Progress::Ended : Progress::Waiting;
        }
    }
    if (connection.head_parsed && request_complete(connection.head, connection.received)) {
        return Progress::Ended;
    }
    if (static_cast<std::size_t>(connection.received) == RECEIVE_BUFFER_SIZE - 1) {
        return Progress::Ended;  // no room left: judged as if the peer had closed
    }
    return Progress::Waiting;
}

// What was received of a "POST" read as its form: the fields, the vote, and
// whether anything is missing.
CaptureResult captured_form(Connection& connection) {
    const RequestHead& head = connection.head;
    FormBody body;
    bool all_arrived = false;
    if (connection.multipart) {
        all_arrived = multipart_complete(connection);
        body = connection.multipart->finish(head.content_type.media_type);
    } else {
        // The body runs from the end of the head to the end of what arrived
        // (a urlencoded one to its first zero byte): not cut at the
        // announced length.
        all_arrived = request_complete(head, connection.received);
        const auto head_length = static_cast<std::size_t>(head.head_length);
        body = read_whole_body(head.content_type, connection.buffer.data() + head_length,
                               connection.buffer.size() - head_length);
    }
    CaptureResult result;
    result.head = head;
    result.code_choice = vote_over_fields(body.fields);
    result.declared_code = declared_code(body.fields);
    result.content_type = head.content_type.media_type;
    result.complete = all_arrived && !body.cut;
    result.fields = std::move(body.fields);
    return result;
}

// The socket address for `text` and `port` (numeric IPv4 or IPv6; empty:
// the IPv4 wildcard), or false when `text` is neither.
bool bind_address_of(std::string_view text, std::uint16_t port, sockaddr_storage& address, socklen_t& length) {
    address = {};
    const std::string zero_terminated(text.empty() ? "0.0.0.0" : text);
    if (zero_terminated.find('\0') != std::string::npos) {
        return false;
    }
    auto& ipv4 = reinterpret_cast<sockaddr_in&>(address);
    if (::inet_pton(AF_INET, zero_terminated.c_str(), &ipv4.sin_addr) == 1) {
        ipv4.sin_family = AF_INET;
        ipv4.sin_port = htons(port);
        length = sizeof ipv4;
        return true;
    }
    auto& ipv6 = reinterpret_cast<sockaddr_in6&>(address);
    if (::inet_pton(AF_INET6, zero_terminated.c_str(), &ipv6.sin6_addr) == 1) {
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(port);
        length = sizeof ipv6;
        return true;
    }
    return false;
}

int open_listening_socket(const CaptureRequest& request, std::int32_t& listening_port, int& error) {
    sockaddr_storage address{};
    socklen_t length = 0;
    const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(request.port) & 0xFFFFu);
    if (!bind_address_of(request.bind_address, port, address, length)) {
        error = EINVAL;
        return -1;
    }
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // A capture right after another must be able to bind the same port again.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || ::listen(fd, LISTEN_BACKLOG) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        listening_port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                                                             : reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    return fd;
}

}  // namespace

// The listener thread's loop over one job: the only code that reaches the
// job's private side (its wake-up descriptor and what it tells of its socket).
class CaptureListener {
public:
    explicit CaptureListener(CaptureJob& job) : job_(job) {}
    ~CaptureListener() {
        for (Connection& connection : connections_) {
            close_socket(connection.fd);
        }
        close_socket(listen_fd_);
        job_.publish_closed();
    }
    CaptureListener(const CaptureListener&) = delete;
    CaptureListener& operator=(const CaptureListener&) = delete;

    void run() {
        int error = 0;
        std::int32_t listening_port = 0;
        listen_fd_ = open_listening_socket(job_.request(), listening_port, error);
        if (listen_fd_ < 0) {
            job_.publish_setup_error(error);
            return;
        }
        job_.publish_listening(listen_fd_, listening_port);

        std::vector<pollfd> polled;
        while (!job_.cancelled()) {
            polled.clear();
            polled.push_back({job_.wake_fd(), POLLIN, 0});
            polled.push_back({listen_fd_, POLLIN, 0});
            for (const Connection& connection : connections_) {
                polled.push_back({connection.fd, POLLIN, 0});
            }
            const int timeout = job_.wake_fd() >= 0 ? -1 : CANCEL_POLL_MS;
            const int ready = ::poll(polled.data(), static_cast<nfds_t>(polled.size()), timeout);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (job_.cancelled()) {
                return;
            }
            // Connections first: a POST that is in ends the capture before
            // anything new is accepted.
            for (std::size_t k = 2; k < polled.size(); ++k) {
                if (polled[k].revents != 0 && serve(connections_[k - 2]) == Outcome::Captured) {
                    return;
                }
            }
            std::erase_if(connections_, [](const Connection& c) { return c.fd < 0; });
            if ((polled[1].revents & POLLIN) != 0) {
                if (accept_all() != Outcome::Open) {
                    return;
                }
            } else if (polled[1].revents != 0) {
                return;  // the listening socket failed
            }
        }
    }

private:
    // What became of a connection, or of the capture.
    enum class Outcome {
        Open,      // still receiving (accepting: all accepted)
        Dropped,   // closed: not a POST, or its head never came
        Captured,  // a POST taken: the capture is over
        Failed,    // accepting failed for good
    };

    // Receives what has arrived on `connection`; a request that has ended
    // is captured when it is a POST and dropped otherwise.
    Outcome serve(Connection& connection) {
        if (receive(connection, scratch_) == Progress::Waiting) {
            return Outcome::Open;
        }
        if (connection.head_parsed && connection.head.method == RequestMethod::Post) {
            // Stored only when no cancel came first.
            job_.store_result(captured_form(connection));
            return Outcome::Captured;
        }
        if (connection.head_parsed && job_.request().on_ignored) {
            const RequestLine line = request_line(connection.buffer);
            job_.request().on_ignored(line.method, line.target);
        }
        close_socket(connection.fd);
        connection.fd = -1;  // erased after the pass over the connections
        return Outcome::Dropped;
    }

    // Accepts every waiting connection. Failed when out of descriptors with
    // none of ours to give back.
    Outcome accept_all() {
        for (;;) {
            const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO || errno == ENETDOWN ||
                    errno == ENETUNREACH || errno == EHOSTDOWN || errno == EHOSTUNREACH || errno == ENONET ||
                    errno == ENOPROTOOPT || errno == EOPNOTSUPP) {
                    continue;  // that connection failed before we took it; the next may be fine
                }
                if ((errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) &&
                    !connections_.empty()) {
                    // Out of descriptors or memory: make room, or the waiting
                    // connection would keep poll returning at once.
                    if (make_room(connections_.size()) == Outcome::Captured) {
                        return Outcome::Captured;
                    }
                    continue;
                }
                return errno == EAGAIN || errno == EWOULDBLOCK ? Outcome::Open : Outcome::Failed;
            }
            if (connections_.size() >= MAX_CONNECTIONS && make_room(MAX_CONNECTIONS) == Outcome::Captured) {
                close_socket(fd);
                return Outcome::Captured;
            }
            Connection connection;
            connection.fd = fd;
            connections_.push_back(std::move(connection));
        }
    }

    // Brings the connections held below `most`. What has arrived on them is
    // received first, so that each is judged by all it sent before the
    // connection that needs the room (which may end a request, or the
    // capture); then, while still at `most`, the connection whose request has
    // come least far is closed, the one accepted first among equals
    // (connections_ is in the order accepted).
    Outcome make_room(std::size_t most) {
        polled_.clear();
        for (const Connection& connection : connections_) {
            polled_.push_back({connection.fd, POLLIN, 0});
        }
        if (::poll(polled_.data(), static_cast<nfds_t>(polled_.size()), 0) > 0) {
            for (std::size_t k = 0; k < polled_.size(); ++k) {
                if (polled_[k].revents != 0 && serve(connections_[k]) == Outcome::Captured) {
                    return Outcome::Captured;
                }
            }
            std::erase_if(connections_, [](const Connection& c) { return c.fd < 0; });
        }
        if (connections_.size() >= most) {
            stages_.clear();
            for (const Connection& connection : connections_) {
                stages_.push_back(request_stage(connection.received, connection.head_parsed, connection.head.method));
            }
            const auto victim = connections_.begin() + static_cast<std::ptrdiff_t>(connection_to_evict(stages_));
            close_socket(victim->fd);
            connections_.erase(victim);
        }
        return Outcome::Open;
    }

    CaptureJob& job_;
    int listen_fd_ = -1;
    // In the order accepted.
    std::vector<Connection> connections_;
    std::vector<pollfd> polled_;        // make_room()'s scratch
    std::vector<RequestStage> stages_;  // make_room()'s scratch
    // What each recv() reads into, before it is appended to a connection's
    // buffer or fed to its multipart reader.
    std::vector<char> scratch_ = std::vector<char>(RECEIVE_CHUNK);
};

bool valid_bind_address(std::string_view text) {
    sockaddr_storage address{};
    socklen_t length = 0;
    return !text.empty() && bind_address_of(text, 0, address, length);
}

int capture_thread(std::shared_ptr<CaptureJob> job) {
    if (job && !job->cancelled()) {
        CaptureListener(*job).run();
    }
    return 0;
}

CaptureThread::CaptureThread(std::shared_ptr<CaptureJob> job) : state_(std::make_shared<State>()) {
    thread_ = std::thread([job = std::move(job), state = state_]() mutable {
        capture_thread(std::move(job));
        {
            std::lock_guard lock(state->mutex);
            state->ended = true;
        }
        state->ended_signal.notify_all();
    });
}

CaptureThread::~CaptureThread() {
    if (!thread_.joinable()) {
        return;
    }
    if (wait_for(std::chrono::milliseconds(0))) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

bool CaptureThread::wait_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    return state_->ended_signal.wait_for(lock, timeout, [this] { return state_->ended; });
}

}  // namespace postori
