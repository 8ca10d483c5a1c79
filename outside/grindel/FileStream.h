#pragma once
#include <string>

#include "outside/grindel/VeltraFileStream.h"

class FileStream final : public IVeltraFileStream {
public:
    void Release() override { delete this; }
    IVeltraError* Open(const VeltraFile& file) override;
    const char* GetPath() const override { return m_path.c_str(); }

private:
    std::string m_path;
};
