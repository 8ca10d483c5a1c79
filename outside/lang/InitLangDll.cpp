#include "outside/lang/InitLangDll.h"

int InitLangDll()
{
    return 1;
}
