#pragma once
// The current user's key container: one random 256-bit key in <root>/keys/, readable
// by its owner only. Secrets are sealed with AES-256-GCM under a fresh random key per
// value; that key travels in the value wrapped under the container's key.
//
// Value layout (integers little-endian):
//   u32 L | blob[L] | ciphertext[n]        n = the text's length
//   blob = "VPW1" | wrapped value key (AES-256 key wrap, 40) | nonce (12) | GCM tag (16)
// The whole value fits 260 bytes, so a text holds at most 184 bytes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

class KeyContainer {
public:
    static constexpr size_t kBlobSize = 4 + 40 + 12 + 16;
    static constexpr size_t kMaxValueSize = 260;
    static constexpr size_t kMaxTextSize = kMaxValueSize - 4 - kBlobSize;

    // The calling user's container in the current system root.
    static KeyContainer forCurrentUser();
    explicit KeyContainer(std::filesystem::path keyFile);

    const std::filesystem::path& keyFile() const { return keyFile_; }

    // Makes the key when there is none. True when the container can be used: the key
    // file is a plain file of the right size, owned by this user, with no access for
    // group or others, in a folder private to this user.
    bool ensure(std::string* error = nullptr) const;

    // Seals a text (1 to kMaxTextSize bytes) into a value; false on any failure.
    bool encrypt(std::string_view text, std::vector<uint8_t>* value) const;
    // Opens a value sealed by this container; false for a value that is short, long,
    // altered, or sealed under another key.
    bool decrypt(std::span<const uint8_t> value, std::string* text) const;

private:
    bool readKey(uint8_t key[32], std::string* error) const;

    std::filesystem::path keyFile_;
};

}  // namespace plat
