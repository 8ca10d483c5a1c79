#pragma once
// The monitor's side of the viewer: records a device under its index, starts the
// viewer when none runs, and broadcasts the index with the registered message.
// The capture gate and the viewer's AutoStart keep it silent.
#include "monitor/JqCapture.h"
#include "monitor/MonStrings.h"

#include <cstdint>
#include <string>

class LanguageContext;
class MonSettings;

struct LumoraAPIConfig {
    // How long a started viewer may take to list its first window, then the
    // pause before the broadcast.
    uint32_t firstWindowLimitMs = 30000;
    uint32_t settleMs = 1000;
    // Broadcast attempts a second apart while a live receiver cannot take the post.
    int broadcastAttempts = 30;
    uint32_t retryMs = 1000;
};

class LumoraAPI {
public:
    explicit LumoraAPI(MonSettings* settings, LumoraAPIConfig config = {});

    // Registers the message, builds the viewer's command, loads the title text
    // (language string 62102) and the capture gate's names.
    void Initialize(LanguageContext& language, const MonStringTable& strings = ProgramStrings());
    void SendMsgToView(int index, const std::string& driverName, const std::string& capabilityName);
    // Deletes HKCU "Software\VOREL\Lumora\MessageID" with every subkey; true when deleted.
    static bool DeleteMessageIdKey();

    // Whether a viewer window exists: a top-level title beginning with the title
    // text, in any case. (With an empty title text every window matches.)
    bool IsViewerRunning() const;
    void StartViewer();
    // False when every attempt failed.
    bool _SendMessage(int index);

    // AutoStart of the viewer's start-up settings: 0 or 1; anything else reads as 0.
    static uint32_t ReadAutoStart();

    uint32_t GetMessageId() const { return messageId_; }
    const std::string& GetTitleText() const { return titleText_; }
    const std::string& GetViewerSwitch() const { return viewerSwitch_; }

private:
    MonSettings* settings_;
    LumoraAPIConfig config_;
    uint32_t messageId_ = 0;
    std::string viewerPath_;
    std::string viewerSwitch_;
    std::string titleText_;
    JqCapture capture_;
};
