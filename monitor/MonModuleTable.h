#pragma once
// The device table: the camera device classes the monitor watches and their
// models, read from the string table (see MonStrings).
#include "monitor/MonStrings.h"

#include <string>
#include <vector>

struct MonModuleSubInfo {
    std::string m_nIndex;         // decimal text
    std::string m_strHardWare;    // hardware id of the model
    std::string m_strCapability;  // model name the camera module reports; "*" any model
};

struct MonModuleInfo {
    std::string className;       // setup class
    std::string moduleFile;      // camera module file name
    std::string hardwarePrefix;  // every hardware id of the class begins so
    bool exactLength = false;    // a model id must be the whole hardware id
    std::vector<MonModuleSubInfo> models;
};

class MonModuleTable {
public:
    static constexpr int kMaxClasses = 5;
    static constexpr int kMaxModels = 64;   // per class

    // Reads the table; a class whose texts are incomplete ends the table there.
    // Counts beyond the limits are clamped.
    void Read(const MonStringTable& strings);

    const std::vector<MonModuleInfo>& Classes() const { return classes_; }

private:
    std::vector<MonModuleInfo> classes_;
};
