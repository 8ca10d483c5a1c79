#include "monitor/MonStrings.h"

const MonStringTable& ProgramStrings()
{
    // Folder names are joined with '/' on this system; registry paths keep '\'.
    static const MonStringTable table = {
        {57344, "Wakely"},
        {62001, "/Vorel/DornMods"},
        {62003, "Vorel001.dsc"},
        {62004, "DCIM"},
        {62005, "IM01W200"},
        {62006, "SOFTWARE\\Vorel\\Lumora"},
        {62007, "InstallDir"},
        {62008, "Version"},
        {62009, "Language"},
        {62010, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Lumora.exe"},
        {62011, "Path"},
        {62013, "WakelyToLumoraMessageString"},
        {62014, "-FromWakely"},
        {62015, "4.3.1"},
        {62051, "Wakely"},
        {62052, "SOFTWARE\\Pixfield\\Event support\\Settings"},
        {62053, "MinActiveLevel"},
        {62054, "SOFTWARE\\Vorel\\Lumora\\Settings"},
        {62055, "ActivateLevel"},
        // The device table: the class count, then per class its five texts and
        // its model rows of three.
        {62056, "3"},
        {62057, "VorelHalden"},
        {62058, "Halden7_Mod.kx3"},
        {62059, "1394\\VOREL&HALDEN"},
        {62060, "3"},
        {62061, "1"},
        {62062, "0"}, {62063, "1394\\VOREL&HALDEN7"}, {62064, "Halden7"},
        {62065, "1"}, {62066, "1394\\VOREL&HALDEN7S"}, {62067, "Halden7S"},
        {62068, "2"}, {62069, "1394\\VOREL&HALDEN7R"}, {62070, "Halden7R"},
        {62071, "Image"},
        {62072, "W310.kx3"},
        {62073, "USB\\VID_7A1C&PID_3B"},
        {62074, "2"},
        {62075, "0"},
        {62076, "0"}, {62077, "USB\\VID_7A1C&PID_3B95"}, {62078, "Snapwren310"},
        {62079, "1"}, {62080, "USB\\VID_7A1C&PID_3B96"}, {62081, "Snapwren270"},
        // Cameras of every maker that the camera library drives: any USB device
        // of the still-image class or in the library's own list, whatever model
        // the module reports.
        {62082, "StillImage"},
        {62083, "GPhotoCam.kx3"},
        {62084, "USB\\"},
        {62085, "1"},
        {62086, "0"},
        {62087, "0"}, {62088, "USB\\"}, {62089, "*"},
    };
    return table;
}

std::string LoadMonString(const MonStringTable& table, uint32_t id)
{
    const auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}
