#pragma once
// The upload program as the server sees it: may it be started, where is it,
// start it, and the registry value that tells it where its queue is.
#include <filesystem>
#include <optional>
#include <string>

namespace skylet {

// "caravel", compared without regard to case.
inline constexpr const char* kUploadProgramName = "caravel";
// Below the program-files folder.
inline constexpr const char* kUploadProgramPath = "Vorel/Skylet/Caravel";

// No when a copy of the upload program runs for this user, and also when the
// running programs cannot be listed.
bool MayStartUploadProgram();

// ProgramFilesDir (HKLM, a string value) + the program's path. Found when the
// value exists and the file is a regular, executable file of more than 0 bytes.
// *path holds what was looked for even when it is not found ("" without the value).
bool FindUploadProgram(std::filesystem::path* path);

// Sets QueuedDataFile (HKCU Software\Vorel\VorelUploader\). *previous gets the
// value it replaced (nullopt when there was none), so that a start that fails
// can put it back.
bool StoreQueuedDataFile(const std::string& queueFile, std::optional<std::string>* previous);
bool RestoreQueuedDataFile(const std::optional<std::string>& previous);

// Starts the program detached, with no arguments and no inherited descriptors.
bool StartUploadProgram(const std::filesystem::path& program);

}  // namespace skylet
