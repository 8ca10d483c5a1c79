#pragma once
// The document of the start-up template. It holds no pictures: it only lets the
// shell's document step accept the drive root that AutoPlay names, and keeps the
// application alive while it exists.
#include <string>

class CLumoraDoc {
public:
    CLumoraDoc();
    ~CLumoraDoc();
    CLumoraDoc(const CLumoraDoc&) = delete;
    CLumoraDoc& operator=(const CLumoraDoc&) = delete;

    // True only for a drive root of three characters ("E:\") when the version
    // code is 9 (AutoPlay); anything else fails the document step.
    bool OnOpenDocument(const std::string& path, int versionCode) const;
    // The same with this machine's version code.
    bool OnOpenDocument(const std::string& path) const;

    void SetValue(int value) { value_ = value; }
    int Value() const { return value_; }

    // Documents alive: the application does not end while one exists.
    static int AppLockCount();

private:
    int value_ = 0;
};
