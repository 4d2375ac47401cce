// MD5 message digest (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>

class cMD5 {
  public:
    cMD5() = default;
    cMD5(const cMD5&) = delete;
    cMD5& operator=(const cMD5&) = delete;
    virtual ~cMD5();

    // The digest of the text's bytes (without its terminator) as 32 lower-case
    // hexadecimal characters. Each call starts afresh; the text stays valid until the
    // next call on this object.
    const char* DigestString(const char* text);

    // Starts a digest, feeds bytes into it, and finishes it into 16 bytes (which also
    // clears the running state).
    void Init();
    void Update(const uint8_t* bytes, size_t count);
    void Final(uint8_t digest[16]);

  private:
    void Transform(const uint8_t block[64]);

    uint8_t* owned_ = nullptr;
    uint32_t state_[4] = {};
    uint32_t bitCount_[2] = {}; // low word first
    uint8_t buffer_[64] = {};
    char result_[40] = {};
};
