// The one export of the module file GPhotoCam.kx3.
#include "outside/dorn/GPhotoCam.h"

extern "C" __attribute__((visibility("default"))) int32_t DORNEntryPoint(DornObjectRecord* object, uint32_t command,
                                                                         uint32_t parameter, uint32_t dataType,
                                                                         uintptr_t data, DornCompletionProc proc,
                                                                         uintptr_t reference)
{
    return GPhotoCamEntry(object, command, parameter, dataType, data, proc, reference);
}
