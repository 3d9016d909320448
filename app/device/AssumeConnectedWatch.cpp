#include "AssumeConnectedWatch.h"

#include "platform/HidDevicePath.h"

const char *AssumeConnectedWatch::AssumedPath() {
    static const std::string path =
        std::string("\\\\?\\hid#vid_0617&pid_1004#assumed#") + kHidInterfaceClass;
    return path.c_str();
}

bool AssumeConnectedWatch::PresentHidInterfaces(std::vector<std::string> *paths) {
    m_real->PresentHidInterfaces(paths);
    paths->push_back(AssumedPath());
    return true;
}
