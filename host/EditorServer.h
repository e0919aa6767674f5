// The web server of `dtchost serve`: the editor of an EditorSession as a page on 127.0.0.1.
//
// Security rules (every request, the page's assets included):
//   - It listens on 127.0.0.1 only.
//   - The Host header must be "127.0.0.1:PORT" or "localhost:PORT", and an Origin header, when
//     present, "http://127.0.0.1:PORT" or "http://localhost:PORT" (against DNS rebinding and
//     requests from other sites); otherwise 403.
//   - Every request carries the per-start token (128 random bits, 32 hex digits, compared in
//     constant time): in the URL (?token=) or in the cookie the server sets when the URL had it
//     (HttpOnly, SameSite=Strict, named after the port so that two editors do not share one);
//     otherwise 403 at once, no redirect.
//   - Actions, Save and Close are POSTs of JSON (Content-Type application/json, which no form of
//     another site can send without the browser asking first).
//   - Responses are not cached, not framed, send no Referer (the token is in the first URL) and allow
//     only the page's own script and style sheet.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "host/EditorSession.h"

namespace httplib {
class Server;
}

namespace host {

class EditorServer {
 public:
  // `onClose` runs when the page asks to close (on a server thread).
  EditorServer(EditorSession& session, std::function<void()> onClose);
  ~EditorServer();

  // Binds 127.0.0.1:port (0: a free port); the port, or -1 when it cannot be bound.
  [[nodiscard]] int Bind(int port);
  // Serves until Stop(); returns false when serving failed.
  [[nodiscard]] bool Listen();
  void Stop();

  const std::string& Token() const noexcept { return token_; }
  std::string Url() const;

 private:
  bool Allowed(const std::string& host, const std::string& origin) const;
  bool HasToken(const std::string& fromUrl, const std::string& cookies) const;

  EditorSession& session_;
  std::function<void()> onClose_;
  std::unique_ptr<httplib::Server> server_;
  std::string token_;
  int port_ = -1;
};

// 128 random bits from the system's random source as 32 hex digits.
std::string NewToken();
// a == b, taking the same time wherever they differ.
bool SameToken(const std::string& a, const std::string& b);

}  // namespace host
