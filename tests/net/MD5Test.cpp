#include "net/MD5.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <gtest/gtest.h>

namespace {

std::string QtMd5(const std::string &s) {
  return QCryptographicHash::hash(QByteArray(s.data(), qsizetype(s.size())),
                                  QCryptographicHash::Md5)
      .toHex()
      .toStdString();
}

// Bytes that run through every value, so no byte is treated as text.
std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = char((i * 7 + i / 256) & 0xff);
  return s;
}

} // namespace

TEST(MD5, PublishedDigestsAndApopExample) {
  EXPECT_EQ(MD5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(MD5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  // The APOP example: time stamp of the greeting followed by the shared secret.
  EXPECT_EQ(MD5Hex("<1896.697170952@dbc.mtview.ca.us>tanstaaf"),
            "c4c9334bac560ecc979e58001b3e22fb");
}

TEST(MD5, LengthsAroundBlockPaddingAndChunkBoundaries) {
  // 55/56/64 bytes decide whether the length fits in the last block; 16384 is the chunk.
  for (std::size_t n : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 16383u, 16384u, 16385u,
                        32767u, 32768u, 32769u, 100000u}) {
    const std::string data = Pattern(n);
    EXPECT_EQ(MD5Hex(data), QtMd5(data)) << "length " << n;
  }
  std::string all;
  for (int c = 0; c < 256; ++c)
    all += char(c);
  EXPECT_EQ(MD5Hex(all), QtMd5(all));
}

TEST(MD5, PiecewiseUpdateEqualsWholeInput) {
  const std::string data = Pattern(20000);
  TMD5Context ctx;
  // Uneven pieces that start and end in the middle of blocks.
  std::size_t pos = 0, step = 1;
  while (pos < data.size()) {
    const std::size_t take = std::min(step, data.size() - pos);
    ctx.Update(data.substr(pos, take));
    pos += take;
    step = step * 3 % 997 + 1;
  }
  const auto digest = ctx.Final();
  EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(digest.data()), 16).toHex().toStdString(), MD5Hex(data));
  // A context is reusable after Init.
  ctx.Init();
  ctx.Update("abc");
  EXPECT_EQ(ctx.Final()[0], 0x90);
}
