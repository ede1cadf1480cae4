// Byte streams on files, embedded files and TCP connections. Reads past the
// end give zeros; a network peer that goes silent, resets or closes simply
// ends the data, so a bad connection never ends the game.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <cerrno>
#include <chrono>
#include <list>
#include <map>
#include <mutex>

#include "platform/internal.h"
#include "platform/platform.h"

struct Stream {
  enum Kind { kFile, kEmbedded, kTcp };
  Kind kind = kFile;
  bool readable = false, writeable = false;
  int fd = -1;
  // Embedded data is read in place; files and sockets read through `input`.
  const uint8_t* data = nullptr;
  size_t size = 0, position = 0;
  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
  bool atEnd = false;   // the source has no more bytes (or a network peer is gone)
  bool failed = false;  // a read error of a file
  bool cutOff = false;  // a TCP stream ended by an error or its deadline, not by the peer closing it
  std::chrono::steady_clock::time_point deadline;  // of a TCP stream: everything is over by then
};

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr size_t kBufferSize = 64 * 1024;

// Milliseconds left until the deadline, for poll; 0 once it has passed.
int MillisLeft(SteadyClock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, std::numeric_limits<int>::max()));
}

// Waits until the socket is ready for `events` or the deadline has passed.
bool WaitReady(int fd, short events, SteadyClock::time_point deadline) {
  for (;;) {
    const int left = MillisLeft(deadline);
    if (left == 0) return false;
    pollfd waiting{fd, events, 0};
    const int ready = poll(&waiting, 1, left);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

struct EmbeddedFile {
  const uint8_t* data;
  size_t size;
};
std::map<std::string, EmbeddedFile>& EmbeddedFiles() {
  static std::map<std::string, EmbeddedFile> files;
  return files;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

size_t Unread(const Stream& stream) { return stream.size - stream.position; }

bool SendAll(const Stream& stream, const uint8_t* bytes, size_t count) {
  const bool socket = stream.kind == Stream::kTcp;
  while (count > 0) {
    if (socket && !WaitReady(stream.fd, POLLOUT, stream.deadline)) return false;
    const ssize_t sent = socket ? send(stream.fd, bytes, count, MSG_NOSIGNAL) : write(stream.fd, bytes, count);
    if (sent < 0 && (errno == EINTR || (socket && errno == EAGAIN))) continue;
    if (sent <= 0) return false;
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

void FlushOutput(Stream& stream) {
  if (stream.output.empty()) return;
  const bool sent = SendAll(stream, stream.output.data(), stream.output.size());
  stream.output.clear();
  if (sent) return;
  if (stream.kind == Stream::kTcp) {
    stream.atEnd = stream.cutOff = true;  // the peer is gone: nothing more will come back either
  } else {
    FatalError("Error writing to stream");
  }
}

// Makes unread bytes available if there are any more; false at the end.
bool Fill(Stream& stream) {
  if (Unread(stream) > 0) return true;
  if (stream.kind == Stream::kEmbedded || stream.atEnd || stream.failed || !stream.readable) return false;
  FlushOutput(stream);  // a request must be out before its reply is awaited
  if (stream.atEnd) return false;
  stream.input.resize(kBufferSize);
  const bool socket = stream.kind == Stream::kTcp;
  ssize_t got;
  do {
    if (socket && !WaitReady(stream.fd, POLLIN, stream.deadline)) {
      got = -1;
      break;
    }
    got = socket ? recv(stream.fd, stream.input.data(), kBufferSize, 0)
                 : read(stream.fd, stream.input.data(), kBufferSize);
  } while (got < 0 && (errno == EINTR || (socket && errno == EAGAIN)));
  if (got > 0) {
    stream.data = stream.input.data();
    stream.size = static_cast<size_t>(got);
    stream.position = 0;
    return true;
  }
  // Timed out, reset or closed peers all end the data; a failing file is an error.
  if (got == 0 || socket) {
    stream.atEnd = true;
    stream.cutOff = got < 0;
  } else {
    stream.failed = true;
  }
  return false;
}

void DiscardReadAhead(Stream& stream) {
  // Before writing into a file opened for both, step back over bytes read
  // ahead but not yet consumed so that the write lands where reading stopped.
  if (stream.kind == Stream::kFile && Unread(stream) > 0) {
    lseek(stream.fd, -static_cast<off_t>(Unread(stream)), SEEK_CUR);
  }
  stream.position = stream.size = 0;
}

void Put(Stream* stream, const uint8_t* bytes, size_t count) {
  if (stream == nullptr) return;
  if (!stream->writeable) FatalError("Error writing to stream");
  if (stream->kind == Stream::kTcp && stream->atEnd) return;
  if (stream->kind == Stream::kFile) DiscardReadAhead(*stream);
  stream->output.insert(stream->output.end(), bytes, bytes + count);
  if (stream->output.size() >= kBufferSize) FlushOutput(*stream);
}

// A host-name lookup runs in the background (getaddrinfo_a), so that the
// caller can stop waiting at its deadline. A lookup given up on cannot always
// be cancelled; it is kept here until it has finished and is freed then.
// Lookups run on several threads at once, and a thread still waiting when the
// program ends must not find the list destroyed under it: it is never freed.
struct Lookup {
  std::string host, port;
  addrinfo hints{};
  gaicb request{};
};
std::mutex& AbandonedLookupsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::list<Lookup>& AbandonedLookups() {
  static auto* lookups = new std::list<Lookup>;
  return *lookups;
}

void FreeFinishedLookups() {
  const std::lock_guard<std::mutex> lock(AbandonedLookupsMutex());
  AbandonedLookups().remove_if([](Lookup& lookup) {
    if (gai_error(&lookup.request) == EAI_INPROGRESS) return false;
    if (lookup.request.ar_result != nullptr) freeaddrinfo(lookup.request.ar_result);
    return true;
  });
}

// The addresses of host, or none if the lookup fails or outlasts the deadline.
addrinfo* LookUp(const std::string& host, const std::string& port, SteadyClock::time_point deadline) {
  FreeFinishedLookups();
  // A list node, so that an abandoned lookup moves to AbandonedLookups without
  // moving the strings its request points to.
  std::list<Lookup> pending(1);
  Lookup& lookup = pending.front();
  lookup.host = host;
  lookup.port = port;
  lookup.hints.ai_family = AF_UNSPEC;
  lookup.hints.ai_socktype = SOCK_STREAM;
  lookup.request.ar_name = lookup.host.c_str();
  lookup.request.ar_service = lookup.port.c_str();
  lookup.request.ar_request = &lookup.hints;
  gaicb* requests[] = {&lookup.request};
  if (getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0) return nullptr;
  int status;
  while ((status = gai_error(&lookup.request)) == EAI_INPROGRESS) {
    const int left = MillisLeft(deadline);
    if (left == 0) break;
    const timespec wait{left / 1000, static_cast<long>(left % 1000) * 1000000};
    gai_suspend(requests, 1, &wait);
  }
  if (status == 0) return lookup.request.ar_result;
  if (status == EAI_INPROGRESS && gai_cancel(&lookup.request) == EAI_NOTCANCELED) {
    const std::lock_guard<std::mutex> lock(AbandonedLookupsMutex());
    AbandonedLookups().splice(AbandonedLookups().end(), pending);
    return nullptr;
  }
  if (gai_error(&lookup.request) == 0 && lookup.request.ar_result != nullptr) freeaddrinfo(lookup.request.ar_result);
  return nullptr;
}

// Connects without blocking past the deadline; the socket stays
// non-blocking, and every later wait on it is bounded by the same deadline.
int ConnectBefore(const addrinfo& address, SteadyClock::time_point deadline) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol);
  if (fd < 0) return -1;
  int result = connect(fd, address.ai_addr, address.ai_addrlen);
  if (result != 0 && errno == EINPROGRESS && WaitReady(fd, POLLOUT, deadline)) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) result = 0;
  }
  if (result != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

Stream* OpenTcp(const std::string& target, int timeoutMillis) {
  std::string host = target;
  std::string port = "80";
  const size_t bracket = host.rfind(']');
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    port = host.substr(colon + 1);
    host.resize(colon);
  }
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || port.empty()) return nullptr;

  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(timeoutMillis, 1));
  addrinfo* addresses = LookUp(host, port, deadline);
  if (addresses == nullptr) return nullptr;
  int fd = -1;
  for (addrinfo* address = addresses; address != nullptr && fd < 0; address = address->ai_next) {
    fd = ConnectBefore(*address, deadline);
  }
  freeaddrinfo(addresses);
  if (fd < 0) return nullptr;
  auto* stream = new Stream;
  stream->kind = Stream::kTcp;
  stream->readable = stream->writeable = true;
  stream->fd = fd;
  stream->deadline = deadline;
  return stream;
}

Stream* OpenEmbedded(const std::string& name, bool writeable) {
  const auto found = EmbeddedFiles().find(name);
  if (found == EmbeddedFiles().end() || writeable) return nullptr;
  auto* stream = new Stream;
  stream->kind = Stream::kEmbedded;
  stream->readable = true;
  stream->data = found->second.data;
  stream->size = found->second.size;
  return stream;
}

Stream* OpenFile(const std::string& path, bool readable, bool writeable) {
  int mode = O_RDONLY;
  if (readable && writeable) {
    mode = O_RDWR;
  } else if (writeable) {
    mode = O_WRONLY | O_CREAT | O_TRUNC;
  }
  const int fd = open(path.c_str(), mode | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  auto* stream = new Stream;
  stream->readable = readable;
  stream->writeable = writeable;
  stream->fd = fd;
  return stream;
}

}  // namespace

void RegisterEmbeddedFile(const std::string& name, const uint8_t* data, size_t size) {
  EmbeddedFiles()[name] = EmbeddedFile{data, size};
}

bool StreamCutOff(Stream* stream) { return stream != nullptr && stream->cutOff; }

Stream* OpenUrl(const std::string& url, bool readable, bool writeable, int timeoutMillis) {
  if (!readable && !writeable) return nullptr;
  if (StartsWith(url, "incbin::")) return OpenEmbedded(url.substr(8), writeable);
  if (StartsWith(url, "tcp::")) return OpenTcp(url.substr(5), timeoutMillis);
  return OpenFile(url, readable, writeable);
}

Stream* OpenRead(const std::string& url) { return OpenUrl(url, true, false); }
Stream* OpenWrite(const std::string& url) { return OpenUrl(url, false, true); }

void CloseByteStream(Stream* stream) {
  if (stream == nullptr) return;
  if (stream->fd >= 0) {
    FlushOutput(*stream);
    close(stream->fd);
  }
  delete stream;
}

bool Eof(Stream* stream) {
  if (stream == nullptr) return true;
  if (Fill(*stream)) return false;
  return !stream->failed;
}

int ReadByte(Stream* stream) {
  if (Eof(stream)) return 0;
  if (!Fill(*stream)) FatalError("Error reading from stream");
  return stream->data[stream->position++];
}

void WriteByte(Stream* stream, int value) {
  const auto byte = static_cast<uint8_t>(value);
  Put(stream, &byte, 1);
}

int ReadInt(Stream* stream) {
  uint32_t value = 0;
  for (int shift = 0; shift < 32 && !Eof(stream); shift += 8) {
    value |= static_cast<uint32_t>(ReadByte(stream)) << shift;
  }
  return static_cast<int>(value);
}

void WriteInt(Stream* stream, int value) {
  const auto bits = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  Put(stream, bytes, sizeof bytes);
}

std::string ReadLine(Stream* stream) {
  std::string line;
  while (!Eof(stream)) {
    const int byte = ReadByte(stream);
    if (byte == 10 || byte == 0) break;
    if (byte != 13) line.push_back(static_cast<char>(byte));
  }
  return line;
}

void WriteLine(Stream* stream, const std::string& text) {
  WriteBytes(stream, text);
  WriteBytes(stream, "\r\n");
}

void WriteBytes(Stream* stream, const std::string& bytes) {
  Put(stream, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::optional<UrlBytes> ReadWholeUrl(const std::string& url) {
  if (StartsWith(url, "tcp::")) return std::nullopt;
  UrlBytes result;
  if (StartsWith(url, "incbin::")) {
    const auto found = EmbeddedFiles().find(url.substr(8));
    if (found == EmbeddedFiles().end()) return std::nullopt;
    result.bytes = {found->second.data, found->second.size};
    return result;
  }
  Stream* stream = OpenRead(url);
  if (stream == nullptr) return std::nullopt;
  while (Fill(*stream)) {
    result.owned.insert(result.owned.end(), stream->data + stream->position, stream->data + stream->size);
    stream->position = stream->size;
  }
  const bool failed = stream->failed;
  CloseByteStream(stream);
  if (failed) return std::nullopt;
  result.bytes = result.owned;
  return result;
}
