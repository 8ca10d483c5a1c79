#pragma once
// One colour transform shared by colour-management filters: profiles, bits, intent and proof
// mode over one Tintara handle, set up lazily for the filter that uses it next.
#include "Caravel/Brisant/ReferencedObjectPointer.h"
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

class CVeltraFilterTintara;

class CVeltraFilterTintaraEngine {
public:
    static constexpr int32_t kModule = VeltraFourCC("tnte");
    static constexpr int32_t kLibraryDomain = VeltraFourCC("JQCM");
    static constexpr int32_t kErrnoDomain = 1;

    using Pointer = TReferencedObjectPointer<CVeltraFilterTintaraEngine>;

    // Told of every change in the number of references; it decides the engine's life.
    class IMgr {
    public:
        virtual ~IMgr() = default;
        virtual void ReferenceCountChanged(CVeltraFilterTintaraEngine* engine, int32_t count) = 0;
    };

    CVeltraFilterTintaraEngine();
    virtual ~CVeltraFilterTintaraEngine();
    CVeltraFilterTintaraEngine(const CVeltraFilterTintaraEngine&) = delete;
    CVeltraFilterTintaraEngine& operator=(const CVeltraFilterTintaraEngine&) = delete;

    IVeltraError* SetProfiles(const VeltraFile& input, const VeltraFile& output);
    IVeltraError* SetProfiles(const VeltraFile& input, const VeltraFile& output, const VeltraFile& third);
    void GetProfiles(VeltraFile* input, VeltraFile* output, VeltraFile* third) const;
    void GetProfileInfo(bool output, char signature[4], int32_t* components) const;
    void SetBitsPerComponent(bool output, int32_t bits);
    int32_t GetBitsPerComponent(bool output) const { return output ? m_outputBits : m_inputBits; }
    void SetProofMode(bool proof);
    bool IsProofMode() const { return m_proofMode; }
    void SetRenderingIntent(int32_t intent);
    int32_t GetRenderingIntent() const { return m_intent; }
    int32_t GetAutoDeleteThreshold() const { return m_autoDeleteThreshold; }
    void SetAutoDeleteThreshold(int32_t threshold) { m_autoDeleteThreshold = threshold; }
    void SetManager(IMgr* manager) { m_manager = manager; }

    int32_t GetUserCount() const { return static_cast<int32_t>(m_users.size()); }
    CVeltraFilterTintara* GetUser(int32_t index) const;
    void StartUse(CVeltraFilterTintara* user);
    void StopUse(CVeltraFilterTintara* user);
    void AddReferencedObjectPointer(Pointer* reference);
    // May delete the engine (no manager, and no more references than the threshold).
    void RemoveReferencedObjectPointer(Pointer* reference);
    int32_t GetChangeCounter() const { return m_changeCounter; }

    // The four-byte colour-space signature at offset 16 of a profile and its component count.
    static IVeltraError* ReadProfileInfo(const VeltraFile& profile, char signature[4], int32_t* components);

protected:
    friend class CVeltraFilterTintara;

    struct Curves {
        bool merge = true;
        std::unique_ptr<uint16_t[]> tables[4];
        int32_t inBits = 0;
        int32_t outBits = 0;
    };
    struct Setup {
        const CVeltraFilterTintara* user = nullptr;
        int32_t changeCounter = 0;
        Curves input;
        Curves output;
    };

    IVeltraError* ResetParameters(bool* changed);
    IVeltraError* SetupProcess(const CVeltraFilterTintara* user, int32_t changeCounter, bool mergeInput,
                               const uint16_t* const* inputTables, int32_t inputInBits, int32_t inputOutBits,
                               bool mergeOutput, const uint16_t* const* outputTables, int32_t outputInBits,
                               int32_t outputOutBits);
    const Setup& GetProcessSetup() const { return m_setup; }
    IVeltraError* Process(const void* source, void* destination, int32_t width, int32_t height,
                          int32_t sourceRowBytes, int32_t destinationRowBytes);

private:
    IVeltraError* LibraryError(int32_t line, long result) const;
    bool OutputProfileIsMarked() const;
    void Changed() { ++m_changeCounter; m_parametersChanged = true; }

    int32_t m_changeCounter = 0;
    VeltraFile m_input;
    VeltraFile m_output;
    VeltraFile m_third;
    char m_inputSignature[4] = {};
    char m_outputSignature[4] = {};
    int32_t m_inputComponents = 0;
    int32_t m_outputComponents = 0;
    int32_t m_inputBits = 0;
    int32_t m_outputBits = 0;
    bool m_proofMode = true;
    int32_t m_intent = 0;
    long m_handle = 0;
    bool m_parametersChanged = true;
    std::vector<CVeltraFilterTintara*> m_users;
    std::vector<Pointer*> m_references;
    int32_t m_autoDeleteThreshold = -1;
    IMgr* m_manager = nullptr;
    Setup m_setup;
};
