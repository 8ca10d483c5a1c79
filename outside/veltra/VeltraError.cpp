#include "outside/veltra/VeltraError.h"

#include <cstdio>
#include <new>

// Handed out when a link cannot be allocated, so that a failure is never lost; never freed.
IVeltraError* IVeltraError::OutOfMemoryLink()
{
    static IVeltraError link = [] {
        IVeltraError e;
        e.m_code = 1005;
        e.m_static = true;
        return e;
    }();
    return &link;
}

IVeltraError* IVeltraError::Link(IVeltraError** chain, IVeltraError* fresh)
{
    IVeltraError* tail = chain ? *chain : nullptr;
    if (!fresh)
        return tail ? tail : OutOfMemoryLink();
    IVeltraError* last = fresh;
    while (last->m_next)
        last = last->m_next;
    last->m_next = tail;
    if (chain)
        *chain = fresh;
    return fresh;
}

IVeltraError* IVeltraError::Add(IVeltraError** chain, int32_t module, int32_t line, int32_t domain, int32_t code)
{
    IVeltraError* e = new (std::nothrow) IVeltraError;
    if (e) {
        e->m_module = module;
        e->m_line = line;
        e->m_domain = domain;
        e->m_code = code;
    }
    return Link(chain, e);
}

IVeltraError* IVeltraError::Add(IVeltraError** chain, int32_t module, int32_t line, const char* text)
{
    IVeltraError* e = new (std::nothrow) IVeltraError;
    if (e) {
        e->m_module = module;
        e->m_line = line;
        e->m_code = -1;
        e->m_text = text ? text : "";
    }
    return Link(chain, e);
}

IVeltraError* IVeltraError::Add(IVeltraError** chain, int32_t module, int32_t line, IVeltraError* inner)
{
    return AddWorker(chain, module, line, inner);
}

IVeltraError* IVeltraError::AddWorker(IVeltraError** chain, int32_t module, int32_t line, IVeltraError* inner)
{
    if (!inner)
        return chain ? *chain : nullptr;
    IVeltraError* e = new (std::nothrow) IVeltraError;
    if (!e)
        return Link(chain, inner);  // keep the inner error at least
    e->m_module = module;
    e->m_line = line;
    e->m_worker = true;
    e->m_code = inner->Root() ? inner->Root()->m_code : 0;
    e->m_domain = inner->Root() ? inner->Root()->m_domain : 0;
    e->m_next = inner;
    return Link(chain, e);
}

void IVeltraError::Release()
{
    IVeltraError* e = this;
    while (e && !e->m_static) {
        IVeltraError* next = e->m_next;
        delete e;
        e = next;
    }
}

void IVeltraError::GetLocation(char* buffer, size_t size) const
{
    if (!buffer || size == 0)
        return;
    std::snprintf(buffer, size, "module %08X line %d", static_cast<unsigned>(m_module), m_line);
}

const IVeltraError* IVeltraError::Root() const
{
    for (const IVeltraError* e = this; e; e = e->m_next)
        if (!e->m_worker)
            return e;
    return nullptr;
}
