#include "server/http_frontend.h"
#include "server/texts.h"

#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <algorithm>
#include <atomic>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "protocol/protocol.h"
#include "server/log.h"

namespace highscored {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using ErrorCode = beast::error_code;
using Clock = std::chrono::steady_clock;

const std::string kRegisterPath = quarzello::kRegisterPath;
const std::string kSubmitPath = quarzello::kSubmitPath;
const std::string kFetchPath = quarzello::kFetchPath;
const std::string kUploadPath = quarzello::kUploadPath;
const std::string kDealPath = quarzello::kDealPath;
const std::string kStartPath = quarzello::kStartPath;

// Many players may connect within the same moment; a short backlog would
// make them wait for SYN retransmissions.
constexpr int kListenBacklog = 1024;
// A client refused before it sent all of its request is given this long to
// stop sending and read the refusal, so that it does not get a reset instead.
constexpr auto kLingerTime = std::chrono::seconds(1);
// How long a stop waits for replies under way before it ends serving anyway.
constexpr auto kStopLimit = std::chrono::milliseconds(1500);
// Room for the request's head and body plus the chunk lines around the body.
constexpr size_t kReadSlack = 4096;

std::string ErrorMessageFor(int status) {
  switch (status) {
    case 404:
      return "Diese Adresse gibt es auf dem Highscore-Server nicht.";
    case 405:
      return "Der Highscore-Server nimmt nur POST-Anfragen an.";
    case 411:
      return "Die Anfrage nennt die Länge ihres Inhalts nicht.";
    case 413:
      return "Die Anfrage ist zu groß.";
    case 431:
      return "Die Kopfzeilen der Anfrage sind zu groß.";
    case 503:
      return "Zu viele Verbindungen von Ihrer Adresse. Bitte versuchen Sie es gleich erneut.";
    case 507:  // not sent: the refusal of one upload too many, sent as 503
      return "Der Highscore-Server prüft gerade zu viele Aufzeichnungen. Bitte versuchen Sie es später erneut.";
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

HttpResponse GameReply(const Reply& reply) {
  HttpResponse response;
  response.status = reply.status;
  response.body = reply.body;
  response.logSummary = Outcome(reply.body);
  if (!reply.note.empty()) response.logSummary += " (" + reply.note + ")";
  return response;
}

// A refusal before the request's head was read is German; one after it is in
// the language the request names, the game's in its body, a browser's in
// its query or Accept-Language.
HttpResponse GameError(int status, const Language& language = kGerman) {
  return GameReply(HighscoreService::Error(status, Translate(ErrorMessageFor(status), language)));
}

Language RequestLanguage(const HttpRequest& request) {
  const Language fromBody = BodyLanguage(request.body);
  if (fromBody != kGerman) return fromBody;
  return ChoosePageLanguage(request.query, request.Header("Accept-Language")).language;
}

HttpResponse MethodNotAllowed(const char* allowed, const Language& language) {
  HttpResponse response = GameError(405, language);
  response.headers.emplace_back("Allow", allowed);
  return response;
}

HttpResponse OnlyForReading(const Language& language) {
  HttpResponse response = MethodNotAllowed("GET, HEAD", language);
  response.body = HighscoreService::Error(405, Translate("Diese Adresse ist nur zum Lesen da.", language)).body;
  response.logSummary = Outcome(response.body);
  return response;
}

// One line per request: time, client, method, target, status, outcome, time taken.
void LogRequest(const std::string& client, const std::string& method, const std::string& target,
                const HttpResponse& response, const char* duration) {
  const std::string summary =
      response.logSummary.empty() ? std::to_string(response.body.size()) + " bytes" : response.logSummary;
  WriteLogLine(UtcTimestamp() + " " + EscapedForLog(client) + " " + EscapedForLog(method) + " " +
               EscapedForLog(target) + " " + std::to_string(response.status) + " " + EscapedForLog(summary) + " " +
               duration);
}

// Each connection takes a file descriptor: the connection caps, not the
// process's default soft limit, should decide how many are served.
void RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
  for (const auto& [field, value] : headers) {
    if (field.size() == name.size() && strncasecmp(field.data(), name.data(), name.size()) == 0) return value;
  }
  return {};
}

class HttpFrontEnd::Server {
 public:
  Server(HighscoreService& service, const HttpSettings& settings)
      : service_(service),
        settings_(settings),
        workers_(static_cast<size_t>(settings.threads)),
        uploadWorkers_(static_cast<size_t>(std::max(1, settings.uploadThreads))) {
    for (int i = 0; i < settings.threads; ++i) loops_.push_back(std::make_unique<Loop>());
  }

  void AddGetRoute(const std::string& path, GetHandler handler) { routes_.push_back({path, std::move(handler)}); }
  int Bind();
  void Run();
  void Stop();

  const HttpSettings& settings() const { return settings_; }
  asio::thread_pool& workers() { return workers_; }
  asio::thread_pool& uploadWorkers() { return uploadWorkers_; }
  // Room for an upload from address, whose head has arrived.
  enum class UploadRoom { Taken, ServiceFull, AddressFull };
  UploadRoom TakeUploadSlot(const std::string& address) {
    std::lock_guard lock(mutex_);
    if (uploadsOpen_ >= settings_.maxUploadsReceived) return UploadRoom::ServiceFull;
    int& fromAddress = uploadsPerAddress_[address];
    if (settings_.maxUploadsPerAddress > 0 && fromAddress >= settings_.maxUploadsPerAddress) {
      return UploadRoom::AddressFull;
    }
    ++fromAddress;
    ++uploadsOpen_;
    return UploadRoom::Taken;
  }
  void GiveBackUploadSlot(const std::string& address) {
    std::lock_guard lock(mutex_);
    --uploadsOpen_;
    const auto it = uploadsPerAddress_.find(address);
    if (it != uploadsPerAddress_.end() && --it->second <= 0) uploadsPerAddress_.erase(it);
  }
  // Whether answering the request may wait for the database to store something.
  static bool Waits(const HttpRequest& request) {
    return request.path == kRegisterPath || request.path == kSubmitPath || request.path == kDealPath ||
           request.path == kStartPath || IsUpload(request.path);
  }
  static bool IsUpload(std::string_view path) { return path == kUploadPath; }
  HttpResponse Answer(const HttpRequest& request);
  std::string ClientAddress(const std::string& peer, const std::string& forwardedFor) const;
  void Forget(const void* connection, const std::string& peer);

 private:
  class Connection;
  struct Route {
    std::string path;
    GetHandler handler;
  };

  struct Loop;
  void Accept(Loop& loop);
  void Admit(tcp::socket socket);
  const GetHandler* FindRoute(const std::string& path) const;

  HighscoreService& service_;
  const HttpSettings settings_;
  std::vector<Route> routes_;

  // Declared before the I/O contexts: connections still queued in one when it
  // is destroyed report their end here.
  std::mutex mutex_;
  std::unordered_map<const void*, std::weak_ptr<Connection>> open_;
  std::unordered_map<std::string, int> openPerAddress_;
  int uploadsOpen_ = 0;
  std::unordered_map<std::string, int> uploadsPerAddress_;  // by client address
  bool stopping_ = false;
  bool ended_ = false;
  std::condition_variable endedChanged_;

  // Each serving thread runs an event loop of its own that accepts on its
  // own socket of the shared port (the kernel spreads the connections), and
  // serves what it accepted: a connection never passes between threads.
  struct Loop {
    asio::io_context context{1};
    tcp::acceptor acceptor{context};
    asio::steady_timer acceptRetry{context};
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning = asio::make_work_guard(context);
  };
  std::vector<std::unique_ptr<Loop>> loops_;
  asio::thread_pool workers_;
  // Uploads wait for replays on threads of their own, so that a flood of
  // them holds up neither registrations and submissions nor fetches.
  asio::thread_pool uploadWorkers_;
};

// One connection, one request: read it within the deadline, answer, close.
// Everything of a connection runs on its serving thread.
class HttpFrontEnd::Server::Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Server& server, tcp::socket socket, std::string peer)
      : server_(server),
        stream_(std::move(socket)),
        peer_(std::move(peer)),
        buffer_(server.settings().maxHeaderBytes + server.settings().maxBodyBytes + kReadSlack) {
    parser_.header_limit(static_cast<uint32_t>(server.settings().maxHeaderBytes));
    // The parser holds an announced length against this as soon as the head
    // is in; OnHeader narrows it to the request's own limit.
    parser_.body_limit(std::max(server.settings().maxBodyBytes, server.settings().maxUploadBodyBytes));
  }
  ~Connection() {
    if (uploadAddress_) server_.GiveBackUploadSlot(*uploadAddress_);
    server_.Forget(this, peer_);
  }

  void Start() {
    // One deadline for the whole request, however slowly it trickles in.
    stream_.expires_after(std::chrono::seconds(server_.settings().clientTimeoutSeconds));
    http::async_read_header(stream_, buffer_, parser_,
                            beast::bind_front_handler(&Connection::OnHeader, shared_from_this()));
  }

  // On the strand, when the server stops: a request still coming in is
  // dropped; a reply being made or sent is let finish.
  void Stop() {
    if (state_ == State::Reading || state_ == State::Lingering) stream_.close();
  }

  asio::any_io_executor executor() { return stream_.get_executor(); }

 private:
  enum class State { Reading, Answering, Writing, Lingering };

  // The head is in: an upload may bring a larger body, if it has room. It
  // holds no replay slot while it arrives: the service takes one once the
  // upload's checks have passed.
  void OnHeader(ErrorCode error, size_t) {
    if (error) {
      OnBadRead(error);
      return;
    }
    const std::string_view target = parser_.get().target();
    if (Server::IsUpload(target.substr(0, target.find('?'))) && parser_.get().method() == http::verb::post) {
      const std::string client = server_.ClientAddress(peer_, std::string(parser_.get()["X-Forwarded-For"]));
      const UploadRoom room = server_.TakeUploadSlot(client);
      if (room != UploadRoom::Taken) {
        const bool service = room == UploadRoom::ServiceFull;
        HttpResponse busy = GameError(service ? 507 : 503);
        busy.status = 503;
        busy.logSummary += service ? " (uploads at their cap)" : " (uploads from this address at their cap)";
        LogRequest(client, "POST", std::string(target), busy, "-");
        Send(std::move(busy), false, true);
        return;
      }
      uploadAddress_ = client;
      parser_.body_limit(server_.settings().maxUploadBodyBytes);
    } else {
      const size_t limit = server_.settings().maxBodyBytes;
      if (parser_.content_length() && *parser_.content_length() > limit) {
        OnBadRead(http::error::body_limit);
        return;
      }
      parser_.body_limit(limit);
    }
    if (parser_.is_done()) {
      OnRead({}, 0);
      return;
    }
    http::async_read(stream_, buffer_, parser_, beast::bind_front_handler(&Connection::OnRead, shared_from_this()));
  }

  void OnRead(ErrorCode error, size_t) {
    if (error) {
      OnBadRead(error);
      return;
    }
    state_ = State::Answering;
    auto& message = parser_.get();
    HttpRequest request;
    request.method = message.method_string();
    const std::string_view target = message.target();
    const size_t question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string_view::npos) request.query = target.substr(question + 1);
    for (const auto& field : message) request.headers.emplace_back(field.name_string(), field.value());
    request.body = std::move(message.body());
    request.clientAddress = server_.ClientAddress(peer_, request.Header("X-Forwarded-For"));

    if (request.headers.size() > server_.settings().maxHeaderFields || !server_.Waits(request)) {
      Answer(std::move(request));
      return;
    }
    // Registrations, submissions and deals wait for the database: they are
    // answered on a worker, so that this loop's other connections are not
    // held up and many of them can share one commit. The loop keeps running meanwhile.
    asio::thread_pool& pool = Server::IsUpload(request.path) ? server_.uploadWorkers() : server_.workers();
    asio::post(pool, [self = shared_from_this(), request = std::move(request),
                      loopBusy = asio::make_work_guard(stream_.get_executor())]() mutable {
      auto answered = std::make_shared<std::pair<HttpRequest, HttpResponse>>(std::move(request), HttpResponse{});
      answered->second = self->Respond(answered->first);
      asio::post(self->executor(), [self, answered] { self->Reply(answered->first, std::move(answered->second)); });
    });
  }

  void Answer(HttpRequest request) {
    HttpResponse response = Respond(request);
    Reply(request, std::move(response));
  }

  HttpResponse Respond(const HttpRequest& request) {
    const auto start = Clock::now();
    HttpResponse response;
    if (request.headers.size() > server_.settings().maxHeaderFields) {
      response = GameError(431);
    } else {
      try {
        response = server_.Answer(request);
      } catch (const std::exception& failure) {
        response = GameError(500);
        response.logSummary += std::string(" (") + failure.what() + ")";
      }
    }
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1fms",
                  std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    const std::string target = request.query.empty() ? request.path : request.path + "?" + request.query;
    LogRequest(request.clientAddress, request.method, target, response, duration);
    return response;
  }

  void Reply(const HttpRequest& request, HttpResponse response) {
    // A refused request may come with more than it announced.
    const bool refused = response.status >= 400;
    Send(std::move(response), request.method == "HEAD", refused);
  }

  // The request could not be read to its end: refused by a limit, broken,
  // cut off by the deadline, or the server is stopping.
  void OnBadRead(const ErrorCode& error) {
    if (error == asio::error::operation_aborted || !parser_.got_some()) return;
    std::string method = "-";
    std::string target = "-";
    if (parser_.is_header_done()) {
      method = parser_.get().method_string();
      target = parser_.get().target();
    }
    // No reply when the deadline has passed (the stream has closed the
    // socket then) or the client has left.
    if (error == beast::error::timeout) {
      LogUnanswered(method, target, 408, "the request did not arrive in time");
      return;
    }
    if (error == http::error::partial_message || error == http::error::end_of_stream ||
        error == asio::error::eof || error == asio::error::connection_reset) {
      LogUnanswered(method, target, 400, "the client left before the end of its request");
      return;
    }
    int status = 400;
    if (error == http::error::body_limit || (error == http::error::buffer_overflow && parser_.is_header_done())) {
      status = 413;
    } else if (error == http::error::header_limit || error == http::error::buffer_overflow) {
      status = 431;
    }
    HttpResponse response = GameError(status);
    response.logSummary += " (" + error.message() + ")";
    LogRequest(peer_, method, target, response, "-");
    Send(std::move(response), false, true);
  }

  void LogUnanswered(const std::string& method, const std::string& target, int status, const char* why) {
    HttpResponse unanswered;
    unanswered.status = status;
    unanswered.logSummary = why;
    LogRequest(peer_, method, target, unanswered, "-");
  }

  // unread: the client may still be sending a request that was refused.
  void Send(HttpResponse response, bool headOnly, bool unread) {
    state_ = State::Writing;
    unread_ = unread;
    reply_.result(static_cast<unsigned>(response.status));
    reply_.version(11);
    reply_.set(http::field::content_type, response.contentType);
    for (const auto& [name, value] : response.headers) reply_.insert(name, value);
    reply_.keep_alive(false);
    if (headOnly) {
      reply_.content_length(response.body.size());
    } else {
      reply_.body() = std::move(response.body);
      reply_.prepare_payload();
    }
    stream_.expires_after(std::chrono::seconds(server_.settings().clientTimeoutSeconds));
    http::async_write(stream_, reply_, beast::bind_front_handler(&Connection::OnWritten, shared_from_this()));
  }

  void OnWritten(ErrorCode error, size_t) {
    if (error) return;
    ErrorCode ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    if (!unread_) return;
    state_ = State::Lingering;
    stream_.expires_after(kLingerTime);
    Drain();
  }

  // Reads and drops whatever the client still sends until it closes.
  void Drain() {
    stream_.async_read_some(asio::buffer(drain_), [self = shared_from_this()](ErrorCode error, size_t) {
      if (!error) self->Drain();
    });
  }

  Server& server_;
  beast::tcp_stream stream_;
  const std::string peer_;
  beast::flat_buffer buffer_;
  http::request_parser<http::string_body> parser_;
  http::response<http::string_body> reply_;
  State state_ = State::Reading;
  bool unread_ = false;
  std::optional<std::string> uploadAddress_;  // while holding an upload's room
  char drain_[4096];
};

int HttpFrontEnd::Server::Bind() {
  RaiseOpenFileLimit();
  ErrorCode error;
  const auto address = asio::ip::make_address(settings_.address, error);
  if (error) return -1;
  tcp::endpoint endpoint(address, static_cast<unsigned short>(settings_.port));
  {
    // A port that another program (another instance of this service too)
    // listens on is refused here, instead of being shared with it.
    tcp::acceptor probe(loops_.front()->context);
    probe.open(endpoint.protocol(), error);
    if (!error) probe.set_option(asio::socket_base::reuse_address(true), error);
    if (!error) probe.bind(endpoint, error);
    if (error) return -1;
    endpoint = probe.local_endpoint();
  }
  for (auto& loop : loops_) {
    tcp::acceptor& acceptor = loop->acceptor;
    acceptor.open(endpoint.protocol(), error);
    if (!error) acceptor.set_option(asio::socket_base::reuse_address(true), error);
    const int on = 1;
    if (!error && setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0) {
      error.assign(errno, boost::system::system_category());
    }
    if (!error) acceptor.bind(endpoint, error);
    if (!error) acceptor.listen(kListenBacklog, error);
    if (error) return -1;
  }
  for (auto& loop : loops_) Accept(*loop);
  return endpoint.port();
}

void HttpFrontEnd::Server::Accept(Loop& loop) {
  loop.acceptor.async_accept([this, &loop](ErrorCode error, tcp::socket socket) {
    if (error == asio::error::operation_aborted) return;  // stopping
    if (error) {
      // Out of file descriptors, most likely: try again once some are closed.
      LogNote("cannot accept a connection: " + error.message());
      loop.acceptRetry.expires_after(std::chrono::milliseconds(100));
      loop.acceptRetry.async_wait([this, &loop](ErrorCode waited) {
        if (!waited && loop.acceptor.is_open()) Accept(loop);
      });
      return;
    }
    Admit(std::move(socket));
    Accept(loop);
  });
}

void HttpFrontEnd::Server::Admit(tcp::socket socket) {
  ErrorCode error;
  const tcp::endpoint remote = socket.remote_endpoint(error);
  if (error) return;  // already gone
  std::string peer = remote.address().to_string();
  const bool perAddressLimited = settings_.maxConnectionsPerAddress > 0 && peer != settings_.trustedProxy;
  std::shared_ptr<Connection> connection;
  {
    std::lock_guard lock(mutex_);
    // Taken just before a stop: closed unanswered, as if never accepted.
    if (stopping_) return;
    int& fromPeer = openPerAddress_[peer];
    if (static_cast<int>(open_.size()) < settings_.maxConnections &&
        (!perAddressLimited || fromPeer < settings_.maxConnectionsPerAddress)) {
      ++fromPeer;
      connection = std::make_shared<Connection>(*this, std::move(socket), peer);
      open_.emplace(connection.get(), connection);
    } else if (fromPeer == 0) {
      openPerAddress_.erase(peer);
    }
  }
  if (connection) {
    connection->Start();
    return;
  }
  // A short refusal the game can show, sent without waiting: a fresh
  // connection has room for it, and a client that does not take it loses
  // nothing it was promised.
  HttpResponse refusal = GameError(503);
  refusal.logSummary += " (connection refused unread)";
  LogRequest(peer, "-", "-", refusal, "-");
  const std::string reply = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: " + refusal.contentType +
                            "\r\nContent-Length: " + std::to_string(refusal.body.size()) +
                            "\r\nConnection: close\r\n\r\n" + refusal.body;
  socket.non_blocking(true, error);
  socket.send(asio::buffer(reply), 0, error);
  socket.close(error);
}

void HttpFrontEnd::Server::Forget(const void* connection, const std::string& peer) {
  std::lock_guard lock(mutex_);
  open_.erase(connection);
  const auto it = openPerAddress_.find(peer);
  if (it != openPerAddress_.end() && --it->second <= 0) openPerAddress_.erase(it);
}

std::string HttpFrontEnd::Server::ClientAddress(const std::string& peer, const std::string& forwardedFor) const {
  if (settings_.trustedProxy.empty() || peer != settings_.trustedProxy || forwardedFor.empty()) return peer;
  const size_t comma = forwardedFor.rfind(',');
  const std::string last = comma == std::string::npos ? forwardedFor : forwardedFor.substr(comma + 1);
  const size_t begin = last.find_first_not_of(' ');
  const size_t end = last.find_last_not_of(' ');
  return begin == std::string::npos ? peer : last.substr(begin, end - begin + 1);
}

const GetHandler* HttpFrontEnd::Server::FindRoute(const std::string& path) const {
  const Route* best = nullptr;
  for (const Route& route : routes_) {
    if (route.path == path) return &route.handler;
    const bool below = route.path.back() == '/' && path.rfind(route.path, 0) == 0;
    if (below && (!best || route.path.size() > best->path.size())) best = &route;
  }
  return best ? &best->handler : nullptr;
}

HttpResponse HttpFrontEnd::Server::Answer(const HttpRequest& request) {
  const bool register_ = request.path == kRegisterPath;
  const bool submit = request.path == kSubmitPath;
  const bool upload = request.path == kUploadPath;
  const bool deal = request.path == kDealPath;
  const bool start = request.path == kStartPath;
  if (register_ || submit || upload || deal || start || request.path == kFetchPath) {
    if (request.method != "POST") return MethodNotAllowed("POST", RequestLanguage(request));
    if (request.Header("Content-Length").empty() && request.Header("Transfer-Encoding").empty()) {
      return GameError(411, RequestLanguage(request));
    }
    if (register_) return GameReply(service_.Register(request.body, request.clientAddress));
    if (submit) return GameReply(service_.Submit(request.body, request.clientAddress));
    if (upload) return GameReply(service_.Upload(request.body, request.clientAddress));
    if (deal) return GameReply(service_.Deal(request.body, request.clientAddress));
    if (start) return GameReply(service_.ReportStart(request.body, request.clientAddress));
    return GameReply(service_.Fetch(request.body));
  }
  const GetHandler* handler = FindRoute(request.path);
  if (!handler) return GameError(404, RequestLanguage(request));
  if (request.method != "GET" && request.method != "HEAD") return OnlyForReading(RequestLanguage(request));
  return (*handler)(request);
}

void HttpFrontEnd::Server::Run() {
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < loops_.size(); ++i) helpers.emplace_back([&loop = *loops_[i]] { loop.context.run(); });
  loops_.front()->context.run();
  for (auto& helper : helpers) helper.join();
  workers_.join();
  uploadWorkers_.join();
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  endedChanged_.notify_all();
}

void HttpFrontEnd::Server::Stop() {
  for (auto& loop : loops_) {
    asio::post(loop->context, [&loop = *loop] {
      ErrorCode ignored;
      loop.acceptor.close(ignored);
      loop.acceptRetry.cancel();
    });
  }
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const auto& [key, weak] : open_) {
      if (auto connection = weak.lock()) open.push_back(std::move(connection));
    }
  }
  for (auto& connection : open) {
    asio::post(connection->executor(), [connection] { connection->Stop(); });
  }
  // Each serving loop ends once its connections have.
  for (auto& loop : loops_) loop->keepRunning.reset();
  std::unique_lock lock(mutex_);
  // A reply that cannot be sent in time (a client that does not read) is
  // given up: whatever it acknowledges is already stored.
  if (!endedChanged_.wait_for(lock, kStopLimit, [this] { return ended_; })) {
    lock.unlock();
    for (auto& loop : loops_) loop->context.stop();
    workers_.stop();
    uploadWorkers_.stop();
  }
}

HttpFrontEnd::HttpFrontEnd(HighscoreService& service, const HttpSettings& settings)
    : server_(std::make_unique<Server>(service, settings)) {}

HttpFrontEnd::~HttpFrontEnd() = default;

void HttpFrontEnd::AddGetRoute(const std::string& path, GetHandler handler) {
  server_->AddGetRoute(path, std::move(handler));
}

int HttpFrontEnd::Bind() { return server_->Bind(); }

void HttpFrontEnd::Run() { server_->Run(); }

void HttpFrontEnd::Stop() { server_->Stop(); }

}  // namespace highscored
