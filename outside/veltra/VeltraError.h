#pragma once
// The error chain: every fallible call of the framework and the filters returns one, null on success.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class IVeltraError {
public:
    // A coded error (domain 0: the library's codes).
    static IVeltraError* Add(IVeltraError** chain, int32_t module, int32_t line, int32_t domain, int32_t code);
    // A text error (code -1).
    static IVeltraError* Add(IVeltraError** chain, int32_t module, int32_t line, const char* text);
    // Wrap an inner chain in a link naming this call site; a null inner leaves the chain as it is.
    static IVeltraError* Add(IVeltraError** chain, int32_t module, int32_t line, IVeltraError* inner);
    static IVeltraError* AddWorker(IVeltraError** chain, int32_t module, int32_t line, IVeltraError* inner);

    // Link operations, first link first: release the whole chain, next link, location text,
    // module, text, code.
    void Release();
    IVeltraError* GetNext() const { return m_next; }
    void GetLocation(char* buffer, size_t size) const;
    int32_t GetModule() const { return m_module; }
    const char* GetText() const { return m_text.c_str(); }
    int32_t GetCode() const { return m_code; }

    int32_t GetLine() const { return m_line; }
    int32_t GetDomain() const { return m_domain; }
    bool IsWorker() const { return m_worker; }
    // The first coded or text link (not a wrapper), or null.
    const IVeltraError* Root() const;

private:
    IVeltraError() = default;
    static IVeltraError* Link(IVeltraError** chain, IVeltraError* fresh);
    static IVeltraError* OutOfMemoryLink();

    int32_t m_module = 0;
    int32_t m_line = 0;
    int32_t m_domain = 0;
    int32_t m_code = 0;
    bool m_worker = false;
    bool m_static = false;
    std::string m_text;
    IVeltraError* m_next = nullptr;
};

// Owns a chain for callers that keep one (tests, the pipeline).
struct VeltraErrorRelease {
    void operator()(IVeltraError* e) const
    {
        if (e)
            e->Release();
    }
};
using VeltraErrorPtr = std::unique_ptr<IVeltraError, VeltraErrorRelease>;

// Wrap a callee's error with this call site.
#define VELTRA_WRAP(module, expr) IVeltraError::AddWorker(nullptr, (module), __LINE__, (expr))
