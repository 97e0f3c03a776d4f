// SHA-256 by the system's cryptography (bcrypt), for the image's hash.
#pragma once

#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace r462xe {

// A hash object of the system's, closed with it.
class Sha256 {
  public:
    Sha256() {
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            algorithm_ = nullptr;
            return;
        }
        if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0)))
            hash_ = nullptr;
    }
    ~Sha256() {
        if (hash_) BCryptDestroyHash(hash_);
        if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool ready() const { return hash_ != nullptr; }
    bool add(const char* bytes, std::size_t count) {
        return BCRYPT_SUCCESS(BCryptHashData(hash_,
                                             reinterpret_cast<PUCHAR>(const_cast<char*>(bytes)),
                                             static_cast<ULONG>(count), 0));
    }
    std::optional<std::string> hex() {
        std::array<unsigned char, 32> digest{};
        if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest.data(), digest.size(), 0)))
            return std::nullopt;
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text;
        for (const unsigned char byte : digest) {
            text.push_back(kDigits[byte >> 4]);
            text.push_back(kDigits[byte & 0xF]);
        }
        return text;
    }

  private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

// The hash of `bytes` in lower-case hexadecimal; empty when the system cannot hash.
inline std::string sha256_hex(const std::string& bytes) {
    Sha256 hash;
    if (!hash.ready() || !hash.add(bytes.data(), bytes.size())) return "";
    return hash.hex().value_or("");
}

}  // namespace r462xe
