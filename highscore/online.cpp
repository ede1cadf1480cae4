#include "highscore/online.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "gameplay/texts.h"
#include "highscore/http_client.h"
#include "protocol/protocol.h"
#include "protocol/score_hash.h"
#include "protocol/upload.h"
#include "platform/platform.h"

namespace quarzello {

#ifndef QUARZELLO_HIGHSCORE_HOST
#error "QUARZELLO_HIGHSCORE_HOST must name the highscore server"
#endif
#ifndef QUARZELLO_HIGHSCORE_WEBHOST
#error "QUARZELLO_HIGHSCORE_WEBHOST must name the web host of the highscore server"
#endif

std::string HighscoreHost() {
  const char* host = std::getenv("QUARZELLO_HIGHSCORE_HOST");
  return host && *host ? host : QUARZELLO_HIGHSCORE_HOST;
}

std::string HighscoreWebHost() { return QUARZELLO_HIGHSCORE_WEBHOST; }

ClientContext CurrentClientContext(const OnlineState& online) {
  return ClientContext{HighscoreHost(), HighscoreWebHost(), SelectedLanguage().code, online};
}

Registration RegisterClient(const ClientContext& context) {
  Registration registration;
  Connection connection = Connect(context);
  if (!connection) return registration;
  // Only a client in another language names it here: the German request stays as it always was.
  const std::string body = context.language == kSourceLanguage ? "register=yes" : "register=yes&lang=" + context.language;
  SendRequest(connection.get(), context, RequestLine(kRegisterPath), body);
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return registration;
  if (reply.Line() == "OKAY") {
    registration.result = OnlineResult::Done;
    registration.onlineKey = reply.Line();
    registration.keyId = TextToInt(reply.Line());
    return registration;
  }
  registration.result = OnlineResult::ServerError;
  registration.serverMessage = reply.Line();
  return registration;
}

Submission SubmitScore(const ClientContext& context, const std::string& playerName, int32_t points,
                       uint8_t ranking) {
  Submission submission;
  Connection connection = Connect(context);
  if (!connection) return submission;
  const OnlineState& online = context.online;
  std::string body = "name=" + UrlEncodeName(playerName) + "&pts=" + IntToText(points) + "&mode=" +
                     IntToText(ranking) + "&lang=" + context.language + "&key_id=" +
                     IntToText(online.keyId) + "&hash=" + IntToText(ScoreHash(online.onlineKey, points, ranking));
  SendRequest(connection.get(), context, RequestLine(kSubmitPath), body);
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return submission;
  if (reply.Line() == "OKAY") {
    submission.result = OnlineResult::Done;
    submission.ownId = TextToInt(reply.Line());
    return submission;
  }
  std::string message = reply.Line();
  if (message == "RETRY") {
    submission.result = OnlineResult::Retry;
    return submission;
  }
  submission.result = OnlineResult::ServerError;
  submission.serverMessage = message;
  return submission;
}

FetchedTables FetchTables(const ClientContext& context) {
  FetchedTables fetched;
  Connection connection = Connect(context);
  if (!connection) return fetched;
  SendRequest(connection.get(), context, RequestLine(kFetchPath),
              "get_highscore=yes&own=" + IntToText(context.online.ownId));
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return fetched;

  TScorelist* table = nullptr;  // entries before the first "TABLE" have no list and are dropped
  ScoreRef last;
  while (!reply.Ended()) {
    std::string line = reply.Line();
    if (line == "TABLE") {
      table = &fetched.lists[std::clamp(TextToInt(reply.Line()), 0, kRankings - 1)];
    } else if (line == "ENTRY") {
      auto entry = std::make_shared<TScore>();
      entry->name = reply.Line();
      entry->punkte = TextToInt(reply.Line());
      last = table ? entry : nullptr;
      if (table) table->add(entry);
    } else if (line == "is own") {
      fetched.own = last;
    }
  }
  fetched.result = OnlineResult::Done;
  return fetched;
}

UploadReply UploadRecording(const ClientContext& context, const std::string& recording, int32_t ticket) {
  UploadReply upload;
  Connection connection = Connect(context);
  if (!connection) return upload;
  const OnlineState& online = context.online;
  const std::string body = "key_id=" + IntToText(online.keyId) + "&id=" + IntToText(online.ownId) +
                           "&lang=" + context.language +
                           "&hash=" + IntToText(RecordingHash(online.onlineKey, recording)) +
                           (ticket != 0 ? "&ticket=" + IntToText(ticket) : std::string()) +
                           "&recording=" + EncodeBase64Url(recording);
  SendRequest(connection.get(), context, RequestLine(kUploadPath), body);
  ReplyReader reply(connection.get());
  if (!reply.Whole()) return upload;
  if (reply.Line() == "OKAY") {
    upload.result = OnlineResult::Done;
    reply.Line();  // the entry's id
    if (reply.Line() == kUnverifiedMark) {
      upload.unverifiedReason = reply.Line();
      upload.unverifiedMessage = reply.Line();
    }
    return upload;
  }
  upload.result = OnlineResult::ServerError;
  upload.serverMessage = reply.Line();
  return upload;
}

namespace {

OnlineResult ShowIfServerError(OnlineResult result, const std::string& message) {
  // The service's message comes in the ISO-8859-1 of the wire.
  if (result == OnlineResult::ServerError)
    Notify(Text(TextId::ErrorTitle), FormatText(TextId::ServerReported, {Utf8FromLatin1(message)}), true);
  return result;
}

}  // namespace

OnlineResult Accept(OnlineState& online, const Registration& registration) {
  if (registration.result == OnlineResult::Done) {
    online.onlineKey = registration.onlineKey;
    online.keyId = registration.keyId;
  }
  return ShowIfServerError(registration.result, registration.serverMessage);
}

OnlineResult Accept(OnlineState& online, const Submission& submission) {
  if (submission.result == OnlineResult::Done) online.ownId = submission.ownId;
  return ShowIfServerError(submission.result, submission.serverMessage);
}

OnlineResult Accept(const UploadReply& upload) { return ShowIfServerError(upload.result, upload.serverMessage); }

std::string UrlEncodeName(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    auto code = static_cast<unsigned char>(c);
    bool plain = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') ||
                 code == '+' || code == '-' || code == '.' || code == '_';
    if (plain) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[code >> 4];
      encoded += kHex[code & 15];
    }
  }
  return encoded;
}

}  // namespace quarzello
