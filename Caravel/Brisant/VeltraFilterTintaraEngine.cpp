#include "Caravel/Brisant/VeltraFilterTintaraEngine.h"

#include "Caravel/Tintara/Tintara.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

namespace {

constexpr int32_t kModule = CVeltraFilterTintaraEngine::kModule;

// An absolute, lexically normalised path (the file need not exist; links are not followed).
bool FullPath(const char* path, std::string* out)
{
    std::string p(path, strnlen(path, sizeof(VeltraFile::path)));
    if (p.empty()) {
        out->clear();
        return true;
    }
    if (p[0] != '/') {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof(cwd)))
            return false;
        p = std::string(cwd) + "/" + p;
    }
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= p.size()) {
        const size_t j = std::min(p.find('/', i), p.size());
        const std::string part = p.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    out->clear();
    for (const std::string& part : parts)
        *out += "/" + part;
    if (out->empty())
        *out = "/";
    return out->size() < sizeof(VeltraFile::path);
}

void Store(VeltraFile* file, const std::string& path)
{
    std::memset(file->path, 0, sizeof(file->path));
    std::memcpy(file->path, path.data(), std::min(path.size(), sizeof(file->path) - 1));
}

int32_t ComponentsOf(const char s[4])
{
    static const struct {
        char signature[5];
        int32_t components;
    } table[] = {{"RGB ", 3}, {"CMYK", 4}, {"GRAY", 1}, {"Lab ", 3}, {"HLS ", 3}, {"Lch ", 3}, {"YCbr", 3}};
    for (const auto& row : table)
        if (std::memcmp(s, row.signature, 4) == 0)
            return row.components;
    return 0;
}

// The caller's curve squeezed into the middle third of a 4096-entry table.
void BuildMarkedTable(const uint16_t* table, int32_t inBits, uint16_t* out)
{
    const uint16_t first = table[0], last = table[(size_t{1} << inBits) - 1];
    for (int32_t i = 0; i <= 1365; ++i)
        out[i] = first;
    for (int32_t i = 2730; i < 4096; ++i)
        out[i] = last;
    for (int64_t i = 0; i < 1364; ++i)
        out[1366 + i] = table[(i << inBits) / 1364];
}

}  // namespace

CVeltraFilterTintaraEngine::CVeltraFilterTintaraEngine() = default;

CVeltraFilterTintaraEngine::~CVeltraFilterTintaraEngine()
{
    if (m_handle)
        JQCMDestroy(m_handle);
    for (Pointer* p : m_references)
        if (p)
            p->Reset();
}

IVeltraError* CVeltraFilterTintaraEngine::LibraryError(int32_t line, long result) const
{
    return IVeltraError::Add(nullptr, kModule, line, kLibraryDomain, static_cast<int32_t>(result));
}

// ---- settings

IVeltraError* CVeltraFilterTintaraEngine::SetProfiles(const VeltraFile& input, const VeltraFile& output)
{
    return SetProfiles(input, output, output);
}

IVeltraError* CVeltraFilterTintaraEngine::SetProfiles(const VeltraFile& input, const VeltraFile& output,
                                                      const VeltraFile& third)
{
    std::string in, out, th, storedIn, storedOut;
    const bool expanded = FullPath(input.path, &in) && FullPath(output.path, &out) && FullPath(third.path, &th) &&
                          FullPath(m_input.path, &storedIn) && FullPath(m_output.path, &storedOut);
    // file names differ by case on this system: compare exactly
    if (expanded && in == storedIn && out == storedOut)
        return nullptr;
    if (!expanded) {
        in = input.path;
        out = output.path;
        th = third.path;
    }
    Changed();
    Store(&m_input, in);
    Store(&m_output, out);
    Store(&m_third, th);
    if (IVeltraError* e = ReadProfileInfo(m_input, m_inputSignature, &m_inputComponents))
        return VELTRA_WRAP(kModule, e);
    if (IVeltraError* e = ReadProfileInfo(m_output, m_outputSignature, &m_outputComponents))
        return VELTRA_WRAP(kModule, e);
    return nullptr;
}

void CVeltraFilterTintaraEngine::GetProfiles(VeltraFile* input, VeltraFile* output, VeltraFile* third) const
{
    if (input)
        *input = m_input;
    if (output)
        *output = m_output;
    if (third)
        *third = m_third;
}

void CVeltraFilterTintaraEngine::GetProfileInfo(bool output, char signature[4], int32_t* components) const
{
    if (signature)
        std::memcpy(signature, output ? m_outputSignature : m_inputSignature, 4);
    if (components)
        *components = output ? m_outputComponents : m_inputComponents;
}

void CVeltraFilterTintaraEngine::SetBitsPerComponent(bool output, int32_t bits)
{
    int32_t& stored = output ? m_outputBits : m_inputBits;
    if (stored == bits)
        return;
    stored = bits;
    Changed();
}

void CVeltraFilterTintaraEngine::SetProofMode(bool proof)
{
    if (proof == m_proofMode)
        return;
    m_proofMode = proof;
    Changed();
}

void CVeltraFilterTintaraEngine::SetRenderingIntent(int32_t intent)
{
    const int32_t low = intent & 0xFFFF;
    if (low == m_intent)
        return;
    m_intent = low;
    Changed();
}

// ---- users and references

CVeltraFilterTintara* CVeltraFilterTintaraEngine::GetUser(int32_t index) const
{
    return index >= 0 && index < GetUserCount() ? m_users[static_cast<size_t>(index)] : nullptr;
}

void CVeltraFilterTintaraEngine::StartUse(CVeltraFilterTintara* user)
{
    m_users.push_back(user);
}

void CVeltraFilterTintaraEngine::StopUse(CVeltraFilterTintara* user)
{
    auto it = std::find(m_users.begin(), m_users.end(), user);
    if (it != m_users.end())
        m_users.erase(it);
    if (m_setup.user == user)
        m_setup.user = nullptr;  // a later filter at the same address must set up afresh
}

void CVeltraFilterTintaraEngine::AddReferencedObjectPointer(Pointer* reference)
{
    m_references.push_back(reference);
    if (m_manager)
        m_manager->ReferenceCountChanged(this, static_cast<int32_t>(m_references.size()));
}

void CVeltraFilterTintaraEngine::RemoveReferencedObjectPointer(Pointer* reference)
{
    auto it = std::find(m_references.begin(), m_references.end(), reference);
    if (it != m_references.end())
        m_references.erase(it);
    const auto remaining = static_cast<int32_t>(m_references.size());
    if (m_manager)
        m_manager->ReferenceCountChanged(this, remaining);
    else if (remaining <= m_autoDeleteThreshold)
        delete this;
}

// ---- the library handle

IVeltraError* CVeltraFilterTintaraEngine::ResetParameters(bool* changed)
{
    if (changed)
        *changed = m_parametersChanged;
    if (!m_parametersChanged)
        return nullptr;
    long rc = 0;
    if (!m_handle)
        rc = JQCMCreate(&m_handle);
    if (rc == 0)
        rc = JQCMSetInputProfile(m_handle, m_input.path);
    if (rc == 0)
        rc = JQCMSetOutputProfile(m_handle, m_output.path);
    if (rc == 0)
        rc = JQCMSetInputBitSize(m_handle, m_inputBits);
    if (rc == 0)
        rc = JQCMSetOutputBitSize(m_handle, m_outputBits);
    if (rc == 0)
        rc = JQCMSetIntent(m_handle, m_intent);
    if (rc == 0)
        rc = JQCMSetProofMode(m_handle, m_proofMode ? 1 : 0);
    if (rc != 0)
        return LibraryError(__LINE__, rc);  // the flag stays: the next setup tries again
    m_parametersChanged = false;
    return nullptr;
}

bool CVeltraFilterTintaraEngine::OutputProfileIsMarked() const
{
    const char* path = m_output.path;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    return std::strlen(name) >= 2 && name[0] == '%' && name[1] == '_';
}

IVeltraError* CVeltraFilterTintaraEngine::SetupProcess(const CVeltraFilterTintara* user, int32_t changeCounter,
                                                       bool mergeInput, const uint16_t* const* inputTables,
                                                       int32_t inputInBits, int32_t inputOutBits, bool mergeOutput,
                                                       const uint16_t* const* outputTables, int32_t outputInBits,
                                                       int32_t outputOutBits)
{
    // 1. who, and a current handle
    m_setup.user = user;
    m_setup.changeCounter = changeCounter;
    if (IVeltraError* e = ResetParameters(nullptr)) {
        m_setup.user = nullptr;
        return e;
    }
    // 2. copies of the curves, for GetProcessSetup
    auto keep = [](Curves& c, bool merge, const uint16_t* const* tables, int32_t inBits, int32_t outBits,
                   int32_t components) {
        c.merge = merge;
        c.inBits = inBits;
        c.outBits = outBits;
        for (int32_t i = 0; i < 4; ++i) {
            c.tables[i].reset();
            if (tables && tables[i] && inBits > 0 && i <= components) {
                const size_t n = size_t{1} << inBits;
                c.tables[i].reset(new (std::nothrow) uint16_t[n]);
                if (!c.tables[i])
                    return false;
                std::memcpy(c.tables[i].get(), tables[i], n * sizeof(uint16_t));
            }
        }
        return true;
    };
    if (!keep(m_setup.input, mergeInput, inputTables, inputInBits, inputOutBits, m_inputComponents) ||
        !keep(m_setup.output, mergeOutput, outputTables, outputInBits, outputOutBits, m_outputComponents)) {
        m_setup.user = nullptr;
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    }
    // 3, 4. input side
    const uint16_t* in[4] = {};
    if (inputTables)
        std::copy(inputTables, inputTables + 4, in);
    long rc = mergeInput ? JQCMMergeInputLUT(m_handle, inputInBits, inputOutBits, 15, in[0], in[1], in[2], in[3])
                         : JQCMSetInputLUT(m_handle, inputInBits, inputOutBits, 15, in[0], in[1], in[2], in[3]);
    if (rc != 0) {
        m_setup.user = nullptr;
        return LibraryError(__LINE__, rc);
    }
    // 5. output side; a marked output profile takes its curves spread over 4096 entries
    const uint16_t* out[4] = {};
    if (outputTables)
        std::copy(outputTables, outputTables + 4, out);
    int32_t outInBits = outputInBits;
    std::unique_ptr<uint16_t[]> marked[4];
    if (outputTables && outputInBits >= 1 && outputOutBits >= 1 && OutputProfileIsMarked() && !mergeOutput) {
        for (int32_t i = 0; i < 4; ++i) {
            if (!out[i])
                continue;
            marked[i].reset(new (std::nothrow) uint16_t[4096]);
            if (!marked[i]) {
                m_setup.user = nullptr;
                return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
            }
            BuildMarkedTable(out[i], outputInBits, marked[i].get());
            out[i] = marked[i].get();
        }
        outInBits = 12;  // the tables hold 4096 entries, whatever the caller's width
    }
    // 6.
    rc = mergeOutput ? JQCMMergeOutputLUT(m_handle, outInBits, outputOutBits, 15, out[0], out[1], out[2], out[3])
                     : JQCMSetOutputLUT(m_handle, outInBits, outputOutBits, 15, out[0], out[1], out[2], out[3]);
    if (rc != 0) {
        m_setup.user = nullptr;
        return LibraryError(__LINE__, rc);
    }
    return nullptr;
}

IVeltraError* CVeltraFilterTintaraEngine::Process(const void* source, void* destination, int32_t width,
                                                  int32_t height, int32_t sourceRowBytes,
                                                  int32_t destinationRowBytes)
{
    const long rc =
        JQCMProcessInterleavedData(m_handle, width, height, source, destination, sourceRowBytes, destinationRowBytes);
    return rc ? LibraryError(__LINE__, rc) : nullptr;
}

IVeltraError* CVeltraFilterTintaraEngine::ReadProfileInfo(const VeltraFile& profile, char signature[4],
                                                          int32_t* components)
{
    std::memset(signature, 0, 4);
    *components = 0;
    FILE* f = std::fopen(profile.path, "rb");
    if (!f)
        return IVeltraError::Add(nullptr, kModule, __LINE__, kErrnoDomain, errno);
    IVeltraError* err = nullptr;
    if (std::fseek(f, 16, SEEK_SET) != 0)
        err = IVeltraError::Add(nullptr, kModule, __LINE__, kErrnoDomain, errno);
    else if (std::fread(signature, 1, 4, f) != 4)
        err = IVeltraError::Add(nullptr, kModule, __LINE__, kErrnoDomain, errno ? errno : EIO);
    std::fclose(f);
    if (err) {
        std::memset(signature, 0, 4);
        return err;
    }
    *components = ComponentsOf(signature);
    return nullptr;
}
