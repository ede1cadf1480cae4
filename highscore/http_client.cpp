#include "highscore/http_client.h"

namespace quarzello {

Connection Connect(const ClientContext& context) {
  return Connection(OpenUrl("tcp::" + context.host, true, true, context.online.timeoutMillis));
}

std::string RequestLine(const char* path) { return std::string("POST ") + path + " HTTP/1.0"; }

void SendRequest(Stream* stream, const ClientContext& context, const std::string& requestLine,
                 const std::string& body) {
  std::string request;
  for (const std::string& line : {requestLine, "Host: " + context.webHost,
                                  std::string("Accept: text/plain"), std::string("Accept-Charset: iso-8859-5"),
                                  std::string("User-Agent: Quarzello"),
                                  std::string("Content-Type: application/x-www-form-urlencoded"),
                                  "Content-Length: " + IntToText(static_cast<int>(body.size())), std::string(),
                                  body})
    request += line + "\r\n";
  WriteBytes(stream, request);
}

void SendGetRequest(Stream* stream, const ClientContext& context, const std::string& path, const char* accept) {
  std::string request;
  for (const std::string& line : {"GET " + path + " HTTP/1.0", "Host: " + context.webHost,
                                  "Accept: " + std::string(accept), std::string("User-Agent: Quarzello"), std::string()})
    request += line + "\r\n";
  WriteBytes(stream, request);
}

}  // namespace quarzello
