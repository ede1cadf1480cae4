#include "server/http_frontend.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <httplib.h>

namespace highscored {

namespace {

const std::string kRegisterPath = "/quarzello/register.php";
const std::string kSubmitPath = "/quarzello/highscore.php";
const std::string kFetchPath = "/quarzello/get.php";
const char* const kContentType = "text/plain; charset=ISO-8859-1";

// Many players may connect within the same moment; the library's own
// backlog of a handful would make them wait for SYN retransmissions.
constexpr int kListenBacklog = 1024;

using Clock = std::chrono::steady_clock;

// Set when a request has been read, for the duration in its log line.
thread_local Clock::time_point requestStart;

void SetReply(httplib::Response& res, const Reply& reply) {
  res.status = reply.status;
  res.set_content(reply.body, kContentType);
}

std::string ErrorMessageFor(int status) {
  switch (status) {
    case 404:
      return "Diese Adresse gibt es auf dem Highscore-Server nicht.";
    case 405:
      return "Der Highscore-Server nimmt nur POST-Anfragen an.";
    case 413:
      return "Die Anfrage ist zu groß.";
    default:
      return "Die Anfrage ist fehlerhaft.";
  }
}

std::string UtcTimestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
  return text;
}

// The reply's first line, and for anything but "OKAY" also the second, which
// holds the reason.
std::string Outcome(const std::string& body) {
  const size_t firstEnd = body.find('\n');
  const std::string first = body.substr(0, firstEnd);
  if (first == "OKAY" || first == "TABLE" || firstEnd == std::string::npos) return first;
  const size_t secondEnd = body.find('\n', firstEnd + 1);
  return first + " " + body.substr(firstEnd + 1, secondEnd - firstEnd - 1);
}

}  // namespace

class HttpFrontEnd::Server : public httplib::Server {
 public:
  void WidenBacklog() { ::listen(svr_sock_, kListenBacklog); }
};

HttpFrontEnd::HttpFrontEnd(HighscoreService& service, WebRankings& web, const HttpSettings& settings)
    : settings_(settings), server_(std::make_unique<Server>()) {
  Server& server = *server_;
  const int threads = settings.threads;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  // The game opens a connection per request and reads its reply to the end.
  server.set_keep_alive_max_count(1);
  // A silent client holds one of the threads until this runs out.
  server.set_keep_alive_timeout(settings.clientTimeoutSeconds);
  server.set_read_timeout(settings.clientTimeoutSeconds);
  server.set_write_timeout(settings.clientTimeoutSeconds);
  server.set_payload_max_length(settings.maxBodyBytes);

  server.set_pre_routing_handler([&web](const httplib::Request& req, httplib::Response& res) {
    requestStart = Clock::now();
    if ((req.method == "GET" || req.method == "HEAD") && WebRankings::Serves(req.path)) {
      const size_t question = req.target.find('?');
      const std::string query = question == std::string::npos ? "" : req.target.substr(question + 1);
      const WebReply reply = web.Get(req.path, query, req.get_header_value("If-None-Match"));
      res.status = reply.status;
      for (const auto& [name, value] : reply.headers) {
        if (name == "Content-Type") {
          res.set_content(reply.body, value.c_str());
        } else {
          res.set_header(name.c_str(), value);
        }
      }
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path != kRegisterPath && req.path != kSubmitPath && req.path != kFetchPath) {
      SetReply(res, HighscoreService::Error(404, ErrorMessageFor(404)));
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "POST") {
      SetReply(res, HighscoreService::Error(405, ErrorMessageFor(405)));
      res.set_header("Allow", "POST");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  const std::string trustedProxy = settings.trustedProxy;
  auto clientAddress = [trustedProxy](const httplib::Request& req) {
    if (trustedProxy.empty() || req.remote_addr != trustedProxy) return req.remote_addr;
    const std::string forwarded = req.get_header_value("X-Forwarded-For");
    if (forwarded.empty()) return req.remote_addr;
    const size_t comma = forwarded.rfind(',');
    std::string last = comma == std::string::npos ? forwarded : forwarded.substr(comma + 1);
    const size_t begin = last.find_first_not_of(' ');
    const size_t end = last.find_last_not_of(' ');
    return begin == std::string::npos ? req.remote_addr : last.substr(begin, end - begin + 1);
  };

  server.Post(kRegisterPath, [&service, clientAddress](const httplib::Request& req, httplib::Response& res) {
    SetReply(res, service.Register(req.body, clientAddress(req)));
  });
  server.Post(kSubmitPath, [&service, clientAddress](const httplib::Request& req, httplib::Response& res) {
    SetReply(res, service.Submit(req.body, clientAddress(req)));
  });
  server.Post(kFetchPath, [&service](const httplib::Request& req, httplib::Response& res) {
    SetReply(res, service.Fetch(req.body));
  });

  // Whatever the library refuses on its own (unreadable request, a body over
  // the limit) still gets a reply the game can show.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        SetReply(res, HighscoreService::Error(res.status, ErrorMessageFor(res.status)));
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    SetReply(res, HighscoreService::Error(500, ErrorMessageFor(500)));
  });

  server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    std::string duration = "-";
    if (requestStart != Clock::time_point()) {
      const double millis = std::chrono::duration<double, std::milli>(Clock::now() - requestStart).count();
      char text[32];
      std::snprintf(text, sizeof text, "%.1fms", millis);
      duration = text;
      requestStart = Clock::time_point();
    }
    const std::string line = UtcTimestamp() + " " + req.remote_addr + " " + req.method + " " + req.path + " " +
                             std::to_string(res.status) + " " + Outcome(res.body) + " " + duration + "\n";
    std::fputs(line.c_str(), stderr);
  });
}

HttpFrontEnd::~HttpFrontEnd() = default;

int HttpFrontEnd::Bind() {
  int port = settings_.port;
  if (port == 0) {
    port = server_->bind_to_any_port(settings_.address);
  } else if (!server_->bind_to_port(settings_.address, port)) {
    port = -1;
  }
  if (port > 0) server_->WidenBacklog();
  return port;
}

void HttpFrontEnd::Run() { server_->listen_after_bind(); }

void HttpFrontEnd::Stop() { server_->stop(); }

}  // namespace highscored
