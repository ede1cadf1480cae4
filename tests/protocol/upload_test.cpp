// The recording's encoding and check value are part of the wire format: the
// game writes them and the service reads them back.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "protocol/upload.h"

namespace quarzello::protocol_test {

namespace {

TEST(UploadTest, Base64UrlBothWaysAndNothingElse) {
  const std::string bytes("\x00\xfb\xff\x10QZ", 6);
  for (size_t length = 0; length <= bytes.size(); ++length) {
    const std::string part = bytes.substr(0, length);
    EXPECT_EQ(DecodeBase64Url(EncodeBase64Url(part)), part) << length;
    EXPECT_EQ(DecodeBase64Url(EncodeBase64Url(part) + std::string((3 - length % 3) % 3, '=')), part) << length;
  }
  EXPECT_EQ(EncodeBase64Url("\xfb\xff"), "-_8");
  for (const char* bad : {"A", "AB+C", "AB/C", "AB C", "AB%3D", "AB=C", "AF", "AAB"}) {
    EXPECT_FALSE(DecodeBase64Url(bad)) << bad;
  }
}

TEST(UploadTest, TheHashTiesTheRecordingToItsKey) {
  const std::string key = "0123456789abcdef0123456789abcdef";
  const std::string text = key + "QZRC" + key;
  EXPECT_EQ(RecordingHash(key, "QZRC"),
            static_cast<int32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()))));
  EXPECT_NE(RecordingHash(key, "QZRC"), RecordingHash("1" + key.substr(1), "QZRC"));
}

}  // namespace

}  // namespace quarzello::protocol_test
