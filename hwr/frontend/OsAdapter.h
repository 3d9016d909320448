// The platform's library loader. The routing table names plug-ins as Windows files
// ("vra_hwr_local_recog.dll"); here "NAME.dll" is "libNAME.so", looked for in the given folders
// (the kit's plug-in path, then the folder of libvra_hwr.so), then on the normal dlopen path.
#pragma once

#include <string>
#include <vector>

namespace OsAdapter {

// "NAME.dll" -> "libNAME.so"; other names are kept.
std::string MapLibraryName(const std::string &fileName);
// The folder that holds libvra_hwr.so ("" when it cannot be told).
std::string KitLibraryDir();
// Loads the library; null on failure, with "[qvcommon][OsAdapter::OS_LoadLibrary] LoadLibrary
// failed:%d" and the loader's message.
void *OS_LoadLibrary(const std::string &fileName, const std::vector<std::string> &searchDirs);
void *OS_GetProcAddress(void *handle, const char *name);
// False (and a log line) when the loader refuses.
bool OS_FreeLibrary(void *handle);

}  // namespace OsAdapter
