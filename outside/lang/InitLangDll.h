#pragma once
// The one function the programs import from their language library. Texts and
// menus are read from the library's data file (platform/lang).
int InitLangDll();
