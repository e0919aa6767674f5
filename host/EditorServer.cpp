// dtchost serve's web server on 127.0.0.1: the page, its state and posted actions, under its rules.
#include "host/EditorServer.h"

#include <httplib.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <random>

#include "host/WebAssets.h"

namespace host {
namespace {

constexpr const char* kJson = "application/json; charset=utf-8";

void Secure(httplib::Response& response) {
  response.set_header("Cache-Control", "no-store");
  response.set_header("Referrer-Policy", "no-referrer");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("X-Frame-Options", "DENY");
  response.set_header("Content-Security-Policy",
                      "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
                      "img-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
}

void Forbidden(httplib::Response& response, const char* reason) {
  response.status = 403;
  response.set_content(std::string("403 Forbidden: ") + reason + "\n", "text/plain; charset=utf-8");
}

void Reply(httplib::Response& response, const EditorReply& reply) {
  response.status = reply.status;
  response.set_content(reply.body, kJson);
}

// The value of cookie `name` in a Cookie header, or "".
std::string CookieValue(const std::string& header, const std::string& name) {
  std::size_t at = 0;
  while (at < header.size()) {
    while (at < header.size() && (header[at] == ' ' || header[at] == ';')) ++at;
    const std::size_t end = header.find(';', at);
    const std::string pair = header.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const std::size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.substr(0, eq) == name) return pair.substr(eq + 1);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return {};
}

bool IsJson(const httplib::Request& request) {
  const std::string type = request.get_header_value("Content-Type");
  return type.rfind("application/json", 0) == 0;
}

}  // namespace

std::string NewToken() {
  std::random_device source;  // the system's random source (getrandom / /dev/urandom)
  std::array<std::uint32_t, 4> words{};
  for (auto& word : words) word = source();
  static const char* kHex = "0123456789abcdef";
  std::string token;
  for (std::uint32_t word : words) {
    for (int shift = 28; shift >= 0; shift -= 4) token += kHex[(word >> shift) & 0xF];
  }
  return token;
}

bool SameToken(const std::string& a, const std::string& b) {
  // The length of a token is no secret; the walk is as long whatever bytes differ.
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

EditorServer::EditorServer(EditorSession& session, std::function<void()> onClose)
    : session_(session),
      onClose_(std::move(onClose)),
      server_(std::make_unique<httplib::Server>()),
      token_(NewToken()) {
  httplib::Server& s = *server_;
  // Short waits on idle connections, so that a stop ends within a second or two.
  s.set_keep_alive_timeout(1);
  s.set_tcp_nodelay(true);  // a reply goes out at once, not after the peer's delayed acknowledgement
  s.set_read_timeout(2, 0);
  s.set_write_timeout(2, 0);
  s.set_payload_max_length(1 << 20);

  s.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    Secure(response);
    if (!Allowed(request.get_header_value("Host"), request.get_header_value("Origin"))) {
      Forbidden(response, "this editor answers only its own page on 127.0.0.1");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string fromUrl = request.get_param_value("token");
    if (!HasToken(fromUrl, request.get_header_value("Cookie"))) {
      Forbidden(response, "the editor's token is missing or wrong");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!fromUrl.empty()) {
      response.set_header("Set-Cookie", "dtchost-" + std::to_string(port_) + "=" + token_ +
                                            "; Path=/; HttpOnly; SameSite=Strict");
    }
    if (request.method == "POST" && !IsJson(request)) {
      response.status = 415;
      response.set_content("{\"error\":\"requests are sent as application/json\"}", kJson);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  s.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(web::kEditorHtml), "text/html; charset=utf-8");
  });
  s.Get("/editor.css", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(web::kEditorCss), "text/css; charset=utf-8");
  });
  s.Get("/editor.js", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(web::kEditorJs), "text/javascript; charset=utf-8");
  });
  s.Get("/state",
        [this](const httplib::Request&, httplib::Response& response) { Reply(response, session_.State()); });
  s.Post("/action", [this](const httplib::Request& request, httplib::Response& response) {
    Reply(response, session_.Act(request.body));
  });
  s.Post("/save",
         [this](const httplib::Request&, httplib::Response& response) { Reply(response, session_.Save()); });
  s.Get("/files", [this](const httplib::Request& request, httplib::Response& response) {
    Reply(response, session_.ListFolder(request.get_param_value("path")));
  });
  s.Post("/close", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content("{\"closed\":true}", kJson);
    if (onClose_) onClose_();
  });
}

EditorServer::~EditorServer() = default;

int EditorServer::Bind(int port) {
  port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1")
                    : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
  return port_;
}

bool EditorServer::Listen() {
  return server_->listen_after_bind();
}

void EditorServer::Stop() {
  server_->stop();
}

std::string EditorServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

bool EditorServer::Allowed(const std::string& host, const std::string& origin) const {
  const std::string port = ":" + std::to_string(port_);
  const bool hostOk = host == "127.0.0.1" + port || host == "localhost" + port;
  const bool originOk =
      origin.empty() || origin == "http://127.0.0.1" + port || origin == "http://localhost" + port;
  return hostOk && originOk;
}

bool EditorServer::HasToken(const std::string& fromUrl, const std::string& cookies) const {
  if (!fromUrl.empty()) return SameToken(fromUrl, token_);
  return SameToken(CookieValue(cookies, "dtchost-" + std::to_string(port_)), token_);
}

}  // namespace host
