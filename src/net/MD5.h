#pragma once
// MD5 message digest (RFC 1321), used for the APOP login of the POP3 client.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Incremental digest: feed any number of pieces, then take the result once.
class TMD5Context {
public:
  TMD5Context() { Init(); }
  void Init();
  void Update(const unsigned char *data, std::size_t len);
  void Update(const std::string &data) {
    Update(reinterpret_cast<const unsigned char *>(data.data()), data.size());
  }
  // Pads, finishes and returns the 16 digest bytes; the context must be Init()ed again to reuse.
  std::array<unsigned char, 16> Final();

private:
  void Transform(const unsigned char block[64]);
  std::uint32_t state_[4];
  std::uint64_t bitCount_;   // message length so far, in bits (mod 2^64)
  unsigned char buffer_[64]; // the bytes of an incomplete block
};

// The digest of the bytes of S as 32 lower-case hexadecimal digits, fed in chunks of at
// most 16384 bytes so that a long input never needs more than the context itself.
std::string MD5Hex(const std::string &s);
