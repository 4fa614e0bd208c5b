#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A stand-in for the advertisement server on 127.0.0.1 and an ephemeral
// port: every connection gets the next scripted response (or, with none
// left, a close without a byte) once the request's empty line has arrived.
// It records each request's bytes, how many connections were open at once,
// and which connections the client closed before the server did.
//
// Plain blocking sockets on threads of its own, one per connection, so that
// it shares nothing with the Qt code under test. Every wait also watches a
// stop pipe, so the destructor never hangs on a client.
namespace testsupport {

struct ScriptedResponse {
  std::string bytes;
  bool held = false;        // sent only after Release()
  bool neverClose = false;  // after sending, wait for the client to close
};

// A response as the advertisement server sends it.
inline std::string HttpResponse(const std::string& status, const std::string& contentType,
                                const std::string& cookie, const std::string& body) {
  std::string head = "HTTP/1.0 " + status + "\r\nServer: loopback\r\n";
  if (!cookie.empty()) head += "Set-Cookie: " + cookie + "; path=/\r\n";
  if (!contentType.empty()) head += "Content-Type: " + contentType + "\r\n";
  return head + "\r\n" + body;
}

class LoopbackAdServer {
 public:
  LoopbackAdServer() {
    if (pipe(stop_) != 0) return;
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~LoopbackAdServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      changed_.notify_all();
    }
    if (stop_[1] >= 0) (void)!write(stop_[1], "x", 1);
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& connection : connections_) connection.join();
    for (int fd : {listener_, stop_[0], stop_[1]}) {
      if (fd >= 0) close(fd);
    }
  }

  LoopbackAdServer(const LoopbackAdServer&) = delete;
  LoopbackAdServer& operator=(const LoopbackAdServer&) = delete;

  int Port() const { return port_; }

  void Enqueue(ScriptedResponse response) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(response));
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int Connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(requests_.size());
  }
  int Finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
  }
  int MostOpenAtOnce() const {
    std::lock_guard lock(mutex_);
    return mostOpen_;
  }
  int ClosedByClient() const {
    std::lock_guard lock(mutex_);
    return closedByClient_;
  }

 private:
  // Waits until fd is ready for events; false when the server stops first.
  bool WaitFor(int fd, short events) const {
    pollfd fds[2] = {{fd, events, 0}, {stop_[0], POLLIN, 0}};
    for (;;) {
      if (poll(fds, 2, -1) < 0) return false;
      if (fds[1].revents != 0) return false;
      if (fds[0].revents != 0) return true;
    }
  }

  void AcceptLoop() {
    while (WaitFor(listener_, POLLIN)) {
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      std::lock_guard lock(mutex_);
      ScriptedResponse response;
      if (!script_.empty()) {
        response = std::move(script_.front());
        script_.pop_front();
      }
      const std::size_t index = requests_.size();
      requests_.emplace_back();
      mostOpen_ = std::max(mostOpen_, ++open_);
      connections_.emplace_back([this, fd, index, response = std::move(response)] {
        Serve(fd, index, response);
      });
    }
  }

  void Serve(int fd, std::size_t index, const ScriptedResponse& response) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && WaitFor(fd, POLLIN)) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    bool go = true;
    {
      std::unique_lock lock(mutex_);
      requests_[index] = request;
      if (response.held) changed_.wait(lock, [this] { return released_ || stopping_; });
      go = !stopping_;
    }
    bool clientClosed = false;
    for (std::size_t sent = 0; go && sent < response.bytes.size();) {
      if (!WaitFor(fd, POLLOUT)) break;
      const ssize_t n =
          send(fd, response.bytes.data() + sent, response.bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) {
        clientClosed = true;
        break;
      }
      sent += static_cast<std::size_t>(n);
    }
    while (go && response.neverClose && !clientClosed && WaitFor(fd, POLLIN)) {
      if (recv(fd, buffer, sizeof buffer, 0) <= 0) clientClosed = true;
    }
    close(fd);
    std::lock_guard lock(mutex_);
    --open_;
    ++finished_;
    if (clientClosed) ++closedByClient_;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  int port_ = 0;
  std::thread acceptor_;
  std::vector<std::thread> connections_;  // joined by the destructor only
  std::deque<ScriptedResponse> script_;
  std::vector<std::string> requests_;
  bool released_ = false;
  bool stopping_ = false;
  int open_ = 0;
  int mostOpen_ = 0;
  int finished_ = 0;
  int closedByClient_ = 0;
};

}  // namespace testsupport
