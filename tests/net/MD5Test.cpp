#include "net/MD5.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <gtest/gtest.h>

TEST(MD5, PublishedDigestsAndEveryBlockAndChunkEdge) {
  EXPECT_EQ(MD5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(MD5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  // The APOP example: time stamp of the greeting followed by the shared secret.
  EXPECT_EQ(MD5Hex("<1896.697170952@dbc.mtview.ca.us>tanstaaf"), "c4c9334bac560ecc979e58001b3e22fb");
  // 55/56/64 bytes decide whether the length fits in the last block; 16384 is the chunk. The
  // bytes run through every value, so no byte is treated as text.
  for (std::size_t n : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 16383u, 16384u, 16385u,
                        32767u, 32768u, 32769u, 100000u}) {
    QByteArray data(qsizetype(n), '\0');
    for (std::size_t i = 0; i < n; ++i) data[qsizetype(i)] = char((i * 7 + i / 256) & 0xff);
    EXPECT_EQ(MD5Hex(data.toStdString()), QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex().toStdString())
        << "length " << n;
  }
}
