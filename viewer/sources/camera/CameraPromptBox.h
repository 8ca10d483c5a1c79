#pragma once
// The message box through which a camera module asks the user something: shown
// over the program's first top-level window whose title begins with one of the
// module's two window titles, with caption "Lumora". A program with windows
// installs it once; it may be asked from a camera job's worker thread (the box
// then runs on the UI thread while the worker waits).
#include "viewer/sources/camera/CameraModule.h"

int32_t ShowCameraPrompt(const CameraPrompt& prompt);
// Also lets the UI thread, while it waits for the camera, show a question that a
// worker holding the camera is asking.
void InstallCameraPromptBox();
