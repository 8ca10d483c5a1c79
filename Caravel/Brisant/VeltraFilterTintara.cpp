#include "Caravel/Brisant/VeltraFilterTintara.h"

#include <cstring>
#include <new>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

// Planes and bits per component of the codes the engine converts (not palette indexes,
// raw sensor data or bit pictures); 0 planes and bits for any other.
void Layout(int32_t code, int32_t* planes, int32_t* bits)
{
    *planes = *bits = 0;
    if (code == 19 || code == 64 || code == 65)
        return;
    if (!IVeltraDataSource::GetSampleLayout(code, planes, bits) || *bits < 8)
        *planes = *bits = 0;
}

int32_t PlanesOf(int32_t code)
{
    int32_t planes = 0, bits = 0;
    Layout(code, &planes, &bits);
    return planes;
}

}  // namespace

CVeltraFilterTintara::CVeltraFilterTintara(IVeltraManager* manager) : CVeltraFilterBase(manager, 1) {}

CVeltraFilterTintara::~CVeltraFilterTintara()
{
    if (CVeltraFilterTintaraEngine* engine = m_engine.Get()) {
        engine->StopUse(this);
        engine->RemoveReferencedObjectPointer(&m_engine);  // may end the engine
    }
}

int32_t CVeltraFilterTintara::GetBitsPerComponent(int32_t colorSpace)
{
    int32_t planes = 0, bits = 0;
    Layout(colorSpace, &planes, &bits);
    return bits;
}

int32_t CVeltraFilterTintara::OutputColorSpace() const
{
    const CVeltraFilterTintaraEngine* engine = m_engine.Get();
    if (!engine)
        return 0;
    char s[4];
    engine->GetProfileInfo(true, s, nullptr);
    const int32_t bits = engine->GetBitsPerComponent(true);
    if (bits != 8 && bits != 16)
        return 0;
    static const struct {
        char signature[5];
        int32_t wide, narrow;
    } table[] = {{"RGB ", 33, 32}, {"CMYK", 0, 34}, {"GRAY", 3, 2}, {"Lab ", 36, 0},
                 {"HLS ", 35, 39}, {"Lch ", 35, 39}, {"YCbr", 37, 0}};
    for (const auto& row : table)
        if (std::memcmp(s, row.signature, 4) == 0)
            return bits == 16 ? row.wide : row.narrow;
    return 0;
}

IVeltraError* CVeltraFilterTintara::GetFilteredColorSpace(IVeltraDataSource**, int32_t, int32_t* colorSpace)
{
    *colorSpace = OutputColorSpace();
    return nullptr;
}

IVeltraError* CVeltraFilterTintara::NotifyAllPixels(int32_t)
{
    int32_t w = 0, h = 0;
    if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CVeltraFilterTintara::SetTintaraEngine(CVeltraFilterTintaraEngine* engine, bool notify)
{
    IVeltraDataDestination::ChangeColorSpace change;
    if (notify && m_engine && HasSource())
        change.oldColorSpace = OutputColorSpace();
    if (CVeltraFilterTintaraEngine* old = m_engine.Get())
        old->StopUse(this);
    if (engine != m_engine.Get()) {
        if (CVeltraFilterTintaraEngine* old = m_engine.Get()) {
            m_engine.Reset();
            old->RemoveReferencedObjectPointer(&m_engine);
        }
        m_engine.Set(engine);
        if (engine)
            engine->AddReferencedObjectPointer(&m_engine);
    }
    m_changed = true;
    ++m_changeCounter;
    if (engine)
        engine->StartUse(this);
    if (!notify || !IsEnabled() || !engine || !HasSource())
        return nullptr;
    change.newColorSpace = OutputColorSpace();
    if (change.newColorSpace == 0)
        return nullptr;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyColorSpace, &change));
}

IVeltraError* CVeltraFilterTintara::SetLUT(bool output, bool merge, const uint16_t* const* tables, int32_t inBits,
                                           int32_t outBits, int32_t count, bool notify)
{
    if (!tables)
        count = 0;
    if (count == 0)
        inBits = outBits = 0;
    // the library takes 0..16 bits; four channels at most
    if (inBits < 0 || inBits > 16 || outBits < 0 || outBits > 16 || count < 0 || count > 4)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    m_changed = true;
    ++m_changeCounter;
    Curves& c = output ? m_output : m_input;
    const size_t entries = size_t{1} << inBits;
    for (int32_t i = 0; i < count; ++i) {
        if (c.inBits < inBits)
            c.tables[i].reset();
        if (!c.tables[i]) {
            c.tables[i].reset(new (std::nothrow) uint16_t[entries]);
            if (!c.tables[i])
                return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraOutOfMemory);
        }
        if (tables[i])
            std::memcpy(c.tables[i].get(), tables[i], entries * sizeof(uint16_t));
        else
            c.tables[i].reset();  // this channel without a curve
    }
    for (int32_t i = count; i < 4; ++i)
        c.tables[i].reset();
    c.merge = merge;
    c.inBits = inBits;
    c.outBits = outBits;
    if (!notify || !IsEnabled() || !HasSource())
        return nullptr;
    return NotifyAllPixels(kCode);
}

IVeltraError* CVeltraFilterTintara::GetLUTInfo(bool output, bool* merge, int32_t* inBits, int32_t* outBits,
                                               int32_t* count) const
{
    const Curves& c = output ? m_output : m_input;
    if (merge)
        *merge = c.merge;
    if (inBits)
        *inBits = c.inBits;
    if (outBits)
        *outBits = c.outBits;
    if (count) {
        int32_t n = 0;
        while (c.inBits != 0 && n < 4 && c.tables[n])
            ++n;
        *count = n;
    }
    return nullptr;
}

IVeltraError* CVeltraFilterTintara::GetLUT(bool output, uint16_t* const* tables, int32_t inBits, int32_t,
                                           int32_t count) const
{
    const Curves& c = output ? m_output : m_input;
    if (!tables || inBits < 0 || inBits > c.inBits || count < 0 || count > 4)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    for (int32_t i = 0; i < count; ++i)
        if (tables[i] && c.tables[i])
            std::memcpy(tables[i], c.tables[i].get(), (size_t{1} << inBits) * sizeof(uint16_t));
    return nullptr;
}

IVeltraError* CVeltraFilterTintara::CheckCache()
{
    if (const CVeltraFilterTintaraEngine* engine = m_engine.Get()) {
        if (engine->GetChangeCounter() != m_seenEngineChange) {
            m_changed = true;
            m_seenEngineChange = engine->GetChangeCounter();
        }
    }
    return CVeltraFilterBase::CheckCache();
}

IVeltraError* CVeltraFilterTintara::FilterColorSpace(IVeltraDataSource* source,
                                                     IVeltraDataDestination::ChangeColorSpace* change)
{
    if (!IsEnabled())
        return WRAP(CVeltraFilterBase::FilterColorSpace(source, change));
    // the output code follows the engine: a new input code changes every pixel
    m_changed = true;
    ++m_changeCounter;
    if (!m_engine || !HasSource())
        return nullptr;
    return NotifyAllPixels(kCode);
}

IVeltraError* CVeltraFilterTintara::CheckTintara(IVeltraDataSource**, int32_t)
{
    CVeltraFilterTintaraEngine* engine = m_engine.Get();
    const CVeltraFilterTintaraEngine::Setup& setup = engine->GetProcessSetup();
    if (setup.user == this && setup.changeCounter == m_changeCounter) {
        bool changed = false;
        if (IVeltraError* e = engine->ResetParameters(&changed))
            return WRAP(e);
        if (!changed)
            return nullptr;
    }
    const uint16_t* in[4] = {m_input.tables[0].get(), m_input.tables[1].get(), m_input.tables[2].get(),
                             m_input.tables[3].get()};
    const uint16_t* out[4] = {m_output.tables[0].get(), m_output.tables[1].get(), m_output.tables[2].get(),
                              m_output.tables[3].get()};
    return WRAP(engine->SetupProcess(this, m_changeCounter, m_input.merge, in, m_input.inBits, m_input.outBits,
                                     m_output.merge, out, m_output.inBits, m_output.outBits));
}

IVeltraError* CVeltraFilterTintara::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
{
    IVeltraDataSource** sources = nullptr;
    int32_t count = 0;
    SourcesFor(info, &sources, &count);
    TileTarget out(tile);
    if (!out.FindRegion())
        return nullptr;
    if (!sources || count < 1 || !sources[0])
        return NoSourceError(kCode, __LINE__);
    CVeltraFilterTintaraEngine* engine = m_engine.Get();
    if (!engine)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad destination data color space");
    IVeltraDataSource* source = sources[0];

    // build: a current transform, and layouts that match it on both sides
    if (IVeltraError* e = CheckTintara(sources, count))
        return e;
    const int32_t outputCode = OutputColorSpace();
    if (outputCode == 0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad destination data color space");
    int32_t sourceCode = 0;
    if (IVeltraError* e = source->GetColorSpace(&sourceCode))
        return WRAP(e);
    int32_t inputComponents = 0;
    engine->GetProfileInfo(false, nullptr, &inputComponents);
    const int32_t inputBits = engine->GetBitsPerComponent(false);
    const int32_t sampleBits = inputBits > 8 ? 16 : 8;
    if (PlanesOf(sourceCode) != inputComponents || GetBitsPerComponent(sourceCode) != sampleBits)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    const int32_t sourceBytes = IVeltraDataSource::GetBitsPerPixel(sourceCode) / 8;
    const int32_t outputBytes = IVeltraDataSource::GetBitsPerPixel(outputCode) / 8;

    // generate: each covered block through the engine, straight into the tile
    if (IVeltraError* e = out.Lock())
        return WRAP(e);
    IVeltraError* err = WalkSourceTiles(source, out.region, kCode, sourceBytes, [&](const SourceBlock& b) {
        return engine->Process(b.bits, out.At(b.covered.left, b.covered.top, outputBytes),
                               b.covered.right - b.covered.left, b.covered.bottom - b.covered.top, b.rowBytes,
                               out.rowBytes);
    });
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
