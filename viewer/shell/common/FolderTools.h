#pragma once
// Folder helpers shared by start-up, the transfer and the browser: free space,
// removing a folder tree and pruning working folders. They work on absolute
// paths, never change the process's current directory (other threads rely on
// it) and never follow a symbolic link: a link is removed, not its target.
#include <cstdint>
#include <ctime>
#include <set>
#include <string>

// True when the volume of the path offers at least `bytes` to the caller; false
// when the volume cannot be asked.
bool HasFreeSpace(const std::string& path, uint64_t bytes);

// tempFolder + "/temp/" + name, both levels made (an existing folder is fine):
// the work folder of one card folder. False when a level cannot be made or the
// name is not a single plain component.
bool MakeWorkFolderIn(const std::string& tempFolder, const std::string& name, std::string* path);

// Deletes every file of the folder and every sub-folder at least minAgeHours old
// (all of them when minAgeHours <= 0); a younger sub-folder goes only when
// removeEmptyYoung is set and it is empty. removeSelf then removes the folder.
void CleanFolder(std::string folder, bool removeSelf, int minAgeHours, bool removeEmptyYoung);
// The same, leaving the sub-folders named in keep (last path component) as they are.
void CleanFolder(std::string folder, bool removeSelf, int minAgeHours, bool removeEmptyYoung,
                 const std::set<std::string>& keep);

// later - earlier, in seconds.
int64_t TimeDifferenceSeconds(std::time_t later, std::time_t earlier);
