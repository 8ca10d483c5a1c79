#include "platform/crypt/KeyContainer.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/sysroot/SystemRoot.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

constexpr size_t kKeySize = 32;
constexpr size_t kWrappedSize = 40;
constexpr size_t kNonceSize = 12;
constexpr size_t kTagSize = 16;
constexpr char kMagic[4] = {'V', 'P', 'W', '1'};

// Wipes a key when it goes out of scope.
struct SecretKey {
    uint8_t bytes[kKeySize] = {};
    ~SecretKey() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

struct CipherFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Cipher = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

void setError(std::string* error, const std::string& text)
{
    if (error) *error = text;
}

bool privateFolder(const fs::path& dir, std::string* error)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        setError(error, dir.string() + " is not a folder");
        return false;
    }
    if (st.st_uid != geteuid()) {
        setError(error, dir.string() + " belongs to another user");
        return false;
    }
    if ((st.st_mode & 0777) != 0700 && chmod(dir.c_str(), 0700) != 0) {
        setError(error, "cannot make " + dir.string() + " private");
        return false;
    }
    return true;
}

// Writes a fresh key to a temporary file, then links it into place; when another
// process made the key first, its key stands.
bool createKey(const fs::path& file, std::string* error)
{
    std::string temp = (file.parent_path() / ".key-XXXXXX").string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, "cannot create a key file: " + std::string(std::strerror(errno)));
        return false;
    }
    SecretKey key;
    bool ok = fchmod(fd, 0600) == 0 && RAND_bytes(key.bytes, kKeySize) == 1 &&
              write(fd, key.bytes, kKeySize) == static_cast<ssize_t>(kKeySize) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && link(temp.c_str(), file.c_str()) != 0 && errno != EEXIST) ok = false;
    unlink(temp.c_str());
    if (!ok) setError(error, "cannot write the key file");
    return ok;
}

void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// AES-256 key wrap (RFC 3394) of the value key under the container key.
bool wrapKey(const uint8_t* kek, const uint8_t* key, uint8_t* wrapped, bool unwrap)
{
    Cipher c(EVP_CIPHER_CTX_new());
    if (!c) return false;
    EVP_CIPHER_CTX_set_flags(c.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    int n = 0, tail = 0;
    const size_t inSize = unwrap ? kWrappedSize : kKeySize;
    const size_t outSize = unwrap ? kKeySize : kWrappedSize;
    if (EVP_CipherInit_ex(c.get(), EVP_aes_256_wrap(), nullptr, kek, nullptr, unwrap ? 0 : 1) != 1) return false;
    if (EVP_CipherUpdate(c.get(), wrapped, &n, key, static_cast<int>(inSize)) != 1) return false;
    if (EVP_CipherFinal_ex(c.get(), wrapped + n, &tail) != 1) return false;
    return static_cast<size_t>(n + tail) == outSize;
}

// AES-256-GCM over the text; the value's header is authenticated with it.
bool sealText(const uint8_t* key, const uint8_t* nonce, const uint8_t* header, size_t headerSize,
              const uint8_t* in, size_t size, uint8_t* out, uint8_t* tag, bool open)
{
    Cipher c(EVP_CIPHER_CTX_new());
    if (!c) return false;
    int n = 0;
    if (EVP_CipherInit_ex(c.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr, open ? 0 : 1) != 1) return false;
    if (EVP_CIPHER_CTX_ctrl(c.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1) return false;
    if (EVP_CipherInit_ex(c.get(), nullptr, nullptr, key, nonce, -1) != 1) return false;
    if (EVP_CipherUpdate(c.get(), nullptr, &n, header, static_cast<int>(headerSize)) != 1) return false;
    if (EVP_CipherUpdate(c.get(), out, &n, in, static_cast<int>(size)) != 1) return false;
    if (open && EVP_CIPHER_CTX_ctrl(c.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag) != 1) return false;
    int tail = 0;
    if (EVP_CipherFinal_ex(c.get(), out + n, &tail) != 1) return false;  // a wrong tag fails here
    if (!open && EVP_CIPHER_CTX_ctrl(c.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, tag) != 1) return false;
    return static_cast<size_t>(n + tail) == size;
}

}  // namespace

KeyContainer KeyContainer::forCurrentUser()
{
    return KeyContainer(SystemRoot::current().keysDir() / ("user-" + std::to_string(geteuid()) + ".key"));
}

KeyContainer::KeyContainer(std::filesystem::path keyFile) : keyFile_(std::move(keyFile)) {}

bool KeyContainer::ensure(std::string* error) const
{
    if (!privateFolder(keyFile_.parent_path(), error)) return false;
    struct stat st {};
    if (lstat(keyFile_.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            setError(error, "cannot look at " + keyFile_.string());
            return false;
        }
        if (!createKey(keyFile_, error)) return false;
    }
    SecretKey key;
    return readKey(key.bytes, error);
}

bool KeyContainer::readKey(uint8_t key[32], std::string* error) const
{
    const int fd = open(keyFile_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        setError(error, "cannot open " + keyFile_.string());
        return false;
    }
    struct stat st {};
    bool ok = fstat(fd, &st) == 0;
    if (ok && (!S_ISREG(st.st_mode) || st.st_size != static_cast<off_t>(kKeySize))) {
        setError(error, keyFile_.string() + " is not a key file");
        ok = false;
    } else if (ok && st.st_uid != geteuid()) {
        setError(error, keyFile_.string() + " belongs to another user");
        ok = false;
    } else if (ok && (st.st_mode & 077) != 0) {
        setError(error, keyFile_.string() + " is open to other users");
        ok = false;
    }
    ok = ok && read(fd, key, kKeySize) == static_cast<ssize_t>(kKeySize);
    close(fd);
    if (!ok) OPENSSL_cleanse(key, kKeySize);
    return ok;
}

bool KeyContainer::encrypt(std::string_view text, std::vector<uint8_t>* value) const
{
    if (!value || text.empty() || text.size() > kMaxTextSize) return false;
    SecretKey master, valueKey;
    if (!readKey(master.bytes, nullptr)) return false;
    if (RAND_bytes(valueKey.bytes, kKeySize) != 1) return false;

    std::vector<uint8_t> out(4 + kBlobSize + text.size());
    uint8_t* blob = out.data() + 4;
    uint8_t* wrapped = blob + sizeof kMagic;
    uint8_t* nonce = wrapped + kWrappedSize;
    uint8_t* tag = nonce + kNonceSize;
    putU32(out.data(), static_cast<uint32_t>(kBlobSize));
    std::memcpy(blob, kMagic, sizeof kMagic);
    if (!wrapKey(master.bytes, valueKey.bytes, wrapped, false)) return false;
    if (RAND_bytes(nonce, kNonceSize) != 1) return false;
    const size_t headerSize = 4 + sizeof kMagic + kWrappedSize;
    if (!sealText(valueKey.bytes, nonce, out.data(), headerSize, reinterpret_cast<const uint8_t*>(text.data()),
                  text.size(), out.data() + 4 + kBlobSize, tag, false))
        return false;
    *value = std::move(out);
    return true;
}

bool KeyContainer::decrypt(std::span<const uint8_t> value, std::string* text) const
{
    // lengths first: nothing is read past what the value holds
    if (!text || value.size() < 4 + kBlobSize + 1 || value.size() > kMaxValueSize) return false;
    if (getU32(value.data()) != kBlobSize) return false;
    const uint8_t* blob = value.data() + 4;
    if (std::memcmp(blob, kMagic, sizeof kMagic) != 0) return false;
    const uint8_t* wrapped = blob + sizeof kMagic;
    const uint8_t* nonce = wrapped + kWrappedSize;
    uint8_t tag[kTagSize];
    std::memcpy(tag, nonce + kNonceSize, kTagSize);

    SecretKey master, valueKey;
    if (!readKey(master.bytes, nullptr)) return false;
    if (!wrapKey(master.bytes, wrapped, valueKey.bytes, true)) return false;  // another key fails here
    const size_t size = value.size() - 4 - kBlobSize;
    std::string plain(size, '\0');
    const size_t headerSize = 4 + sizeof kMagic + kWrappedSize;
    if (!sealText(valueKey.bytes, nonce, value.data(), headerSize, value.data() + 4 + kBlobSize, size,
                  reinterpret_cast<uint8_t*>(plain.data()), tag, true)) {
        OPENSSL_cleanse(plain.data(), plain.size());
        return false;
    }
    *text = std::move(plain);
    return true;
}

}  // namespace plat
