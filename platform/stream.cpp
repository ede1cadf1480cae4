// Byte streams on files, embedded files and TCP connections. Reads past the
// end give zeros; a network peer that goes silent, resets or closes simply
// ends the data, so a bad connection never ends the game.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>

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
};

namespace {

constexpr size_t kBufferSize = 64 * 1024;
int networkTimeoutMillis = 5000;

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

bool SendAll(int fd, const uint8_t* bytes, size_t count, bool socket) {
  while (count > 0) {
    const ssize_t sent = socket ? send(fd, bytes, count, MSG_NOSIGNAL) : write(fd, bytes, count);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

void FlushOutput(Stream& stream) {
  if (stream.output.empty()) return;
  const bool sent = SendAll(stream.fd, stream.output.data(), stream.output.size(), stream.kind == Stream::kTcp);
  stream.output.clear();
  if (sent) return;
  if (stream.kind == Stream::kTcp) {
    stream.atEnd = true;  // the peer is gone: nothing more will come back either
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
  ssize_t got;
  do {
    got = stream.kind == Stream::kTcp ? recv(stream.fd, stream.input.data(), kBufferSize, 0)
                                      : read(stream.fd, stream.input.data(), kBufferSize);
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    stream.data = stream.input.data();
    stream.size = static_cast<size_t>(got);
    stream.position = 0;
    return true;
  }
  // Timed out, reset or closed peers all end the data; a failing file is an error.
  if (got == 0 || stream.kind == Stream::kTcp) {
    stream.atEnd = true;
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

void SetSocketTimeouts(int fd) {
  timeval timeout{};
  timeout.tv_sec = networkTimeoutMillis / 1000;
  timeout.tv_usec = static_cast<suseconds_t>(networkTimeoutMillis % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

// Connects without blocking longer than the network timeout.
int ConnectWithTimeout(const addrinfo& address) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) return -1;
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int result = connect(fd, address.ai_addr, address.ai_addrlen);
  if (result != 0 && errno == EINPROGRESS) {
    pollfd waiting{fd, POLLOUT, 0};
    int ready;
    do {
      ready = poll(&waiting, 1, networkTimeoutMillis);
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t length = sizeof error;
    if (ready == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) result = 0;
  }
  if (result != 0) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, flags);
  SetSocketTimeouts(fd);
  return fd;
}

Stream* OpenTcp(const std::string& target) {
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

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses) != 0) return nullptr;
  int fd = -1;
  for (addrinfo* address = addresses; address != nullptr && fd < 0; address = address->ai_next) {
    fd = ConnectWithTimeout(*address);
  }
  freeaddrinfo(addresses);
  if (fd < 0) return nullptr;
  auto* stream = new Stream;
  stream->kind = Stream::kTcp;
  stream->readable = stream->writeable = true;
  stream->fd = fd;
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

void SetNetworkTimeoutMillis(int millis) { networkTimeoutMillis = millis > 0 ? millis : 1; }

Stream* OpenUrl(const std::string& url, bool readable, bool writeable) {
  if (!readable && !writeable) return nullptr;
  if (StartsWith(url, "incbin::")) return OpenEmbedded(url.substr(8), writeable);
  if (StartsWith(url, "tcp::")) return OpenTcp(url.substr(5));
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
